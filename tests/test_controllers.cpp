#include "TestHelpers.h"

using namespace testing_support;

TEST (Controllers, LearnBindsAndAppliesInTheSameCall)
{
    auto p = makeProcessor();
    p->autoDetectMidiCC (ParameterIndex::wet);
    p->handleController (1, 20, 127);

    EXPECT_EQ (p->getControllerBinding (20), ParameterIndex::wet);
    EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::wet), 0.9921875);
    EXPECT_EQ (p->getLearnParameter(), -1);

    // learning again moves the parameter to the new controller
    p->autoDetectMidiCC (ParameterIndex::wet);
    p->handleController (1, 21, 0);
    EXPECT_EQ (p->getControllerBinding (20), -1);
    EXPECT_EQ (p->getControllerBinding (21), ParameterIndex::wet);
    EXPECT_EQ (p->getMidiCC (ParameterIndex::wet), 21);
}

TEST (Controllers, AssignTogglesAndTakesOver)
{
    auto p = makeProcessor();
    p->setMidiCC (ParameterIndex::wet, 20);
    EXPECT_EQ (p->getControllerBinding (20), ParameterIndex::wet);
    p->setMidiCC (ParameterIndex::wet, 20);                  // the current binding again: unbound
    EXPECT_EQ (p->getControllerBinding (20), -1);

    p->setMidiCC (ParameterIndex::wet, 20);
    p->setMidiCC (ParameterIndex::smooth, 20);               // another parameter takes the controller
    EXPECT_EQ (p->getControllerBinding (20), ParameterIndex::smooth);
    EXPECT_EQ (p->getMidiCC (ParameterIndex::wet), -1);

    p->setMidiCC (ParameterIndex::smooth, 30);               // a parameter sits on one controller only
    EXPECT_EQ (p->getControllerBinding (20), -1);
    EXPECT_EQ (p->getMidiCC (ParameterIndex::smooth), 30);
}

TEST (Controllers, OutOfTableNumbersNeverIndexMemory)
{
    auto p = makeProcessor();

    for (int controller : { -1, 128, 100000, std::numeric_limits<int>::min() })
    {
        p->setMidiCC (ParameterIndex::wet, controller);
        p->handleController (1, controller, 64);
        EXPECT_EQ (p->getControllerBinding (controller), -1);
    }

    // a parameter index outside the table is stored as a binding but moves nothing
    p->setMidiCC (99, 7);
    p->handleController (1, 7, 100);
    for (int i = 0; i < numParameters; ++i)
        EXPECT_EQ (p->getInternalValue (i), parameterRows[(size_t) i].defaultValue);

    // from a file, such entries count as unbound
    p->setControllerBinding (8, 99);
    p->setControllerBinding (9, -7);
    EXPECT_EQ (p->getControllerBinding (8), -1);
    EXPECT_EQ (p->getControllerBinding (9), -1);
}

TEST (Controllers, ModWheelIsAlwaysRecorded)
{
    auto p = makeProcessor();
    p->handleController (1, 1, 64);
    EXPECT_DOUBLE_EQ (p->getPlayState().modWheel, 0.5);
    EXPECT_EQ (p->getInternalValue (ParameterIndex::pitchlfo), 0.0);

    p->setMidiCC (ParameterIndex::pitchlfo, 1);              // bound too: both happen
    p->handleController (1, 1, 96);
    EXPECT_DOUBLE_EQ (p->getPlayState().modWheel, 0.75);
    EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::pitchlfo), 0.5);
}

TEST (Controllers, LowestControllerWinsWhenSeveralAreBound)
{
    auto p = makeProcessor();
    p->setControllerBinding (7, ParameterIndex::pitch);
    p->setControllerBinding (3, ParameterIndex::pitch);
    EXPECT_EQ (p->getMidiCC (ParameterIndex::pitch), 3);

    p->handleController (1, 7, 0);
    EXPECT_EQ (p->getInternalValue (ParameterIndex::pitch), -1.0);
    p->handleController (1, 3, 64);
    EXPECT_EQ (p->getInternalValue (ParameterIndex::pitch), 0.0);
}

TEST (Controllers, PolyOnAControllerRebuildsTheVoices)
{
    auto p = makeProcessor();
    p->setMidiCC (ParameterIndex::poly, 20);
    juce::MidiBuffer midi;
    midi.addEvent (cc (20, 127), 10);
    juce::AudioBuffer<float> buffer (2, 512);
    buffer.clear();
    p->processBlock (buffer, midi);

    EXPECT_EQ (p->getSynth().getNumVoices(), 62);            // 127 × 32 / 128 = 31.75: poly 31
}
