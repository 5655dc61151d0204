#include "TestHelpers.h"

using namespace testing_support;

namespace
{
    struct Row
    {
        const char* key;
        float normalizedDefault;
        const char* defaultText;
        float probe;              // a normalized value to set
        double internalAtProbe;   // what it stores
        bool automatable;
    };

    // normalized defaults and texts as hosts see them; the probe column checks the
    // mapping (skews and downward rows) in the host-to-internal direction
    const Row rows[] = {
        { "pitch",      0.5f,        "0.50", 0.75f, 0.5,                               true },
        { "formant",    0.5f,        "0.50", 0.25f, -0.5,                              true },
        { "pitchwup",   1.0f / 12,   "0.08", 0.5f,  0.5,                               true },
        { "pitchwdn",   11.0f / 12,  "0.92", 0.0f,  1.0,                               true },
        { "glide",      0.0f,        "0.00", 0.5f,  0.00001 + 0.99999 * 0.0625,        true },
        { "smooth",     0.56234f,    "0.56", 0.5f,  0.000001 + 0.999999 * 0.0625,      true },
        { "mididelay",  0.0f,        "0.00", 0.5f,  0.5,                               true },
        { "pitchlfo",   0.5f,        "0.50", 1.0f,  1.0,                               true },
        { "formantlfo", 0.5f,        "0.50", 1.0f,  -1.0,                              true },
        { "pitchenv",   0.5f,        "0.50", 0.0f,  -1.0,                              true },
        { "formantenv", 0.5f,        "0.50", 0.0f,  1.0,                               true },
        { "wet",        0.5f,        "0.50", 0.25f, 0.25,                              true },
        { "poly",       0.25f,       "0.25", 0.5f,  16.0,                              false },
        { "link",       0.0f,        "0.00", 0.5f,  0.5,                               true },
        { "envdelay",   0.63245f,    "0.63", 0.5f,  0.00001 + 0.99999 * 0.25,          true },
        { "envcurve",   1.0f,        "1.00", 0.5f,  0.5,                               true },
        { "envdecay",   0.70710f,    "0.71", 0.5f,  0.00001 + 0.99999 * 0.25,          true },
        { "lfofade",    0.44721f,    "0.45", 0.5f,  0.00001 + 0.99999 * 0.25,          true },
        { "lforate",    0.81198f,    "0.81", 0.5f,  0.0001 + 0.9999 * 0.5,             true },
        { "lfoshape",   0.0f,        "0.00", 0.6f,  (double) 0.6f,                     true },
        { "lforetrig",  1.0f,        "1.00", 0.0f,  0.0,                               true },
        { "lfosync",    1.0f,        "1.00", 0.0f,  0.0,                               true },
        { "attack",     0.21121f,    "0.21", 0.5f,  0.00001 + 0.99999 * 0.0625,        true },
        { "release",    0.21121f,    "0.21", 0.5f,  0.00001 + 0.99999 * 0.0625,        true },
    };
}

TEST (Parameters, TableAsHostsSeeIt)
{
    auto p = makeProcessor();
    const auto& params = p->getParameters();
    ASSERT_EQ (params.size(), (int) std::size (rows));
    ASSERT_EQ (p->getNumParameters(), 24);

    for (int i = 0; i < params.size(); ++i)
    {
        const auto& row = rows[i];
        SCOPED_TRACE (row.key);
        auto* param = dynamic_cast<juce::AudioProcessorParameterWithID*> (params[i]);
        ASSERT_NE (param, nullptr);

        EXPECT_EQ (param->getName (100), row.key);
        EXPECT_EQ (param->paramID, row.key);
        EXPECT_EQ (p->getParameterName (i), row.key);
        EXPECT_NEAR (param->getValue(), row.normalizedDefault, 1e-5f);
        EXPECT_EQ (param->getDefaultValue(), param->getValue());
        EXPECT_EQ (p->getParameterText (i), row.defaultText);
        EXPECT_EQ (param->getText (param->getValue(), 100), row.defaultText);
        EXPECT_EQ (param->isAutomatable(), row.automatable);
        EXPECT_EQ (p->getInternalValue (i), parameterRows[(size_t) i].defaultValue);

        // host value in, internal value stored, the same host value read back
        if (i != ParameterIndex::poly)
        {
            param->setValue (row.probe);
            EXPECT_DOUBLE_EQ (p->getInternalValue (i), row.internalAtProbe);
            EXPECT_NEAR (param->getValue(), row.probe, 1e-6f);
            EXPECT_EQ (param->getDefaultValue(), param->getValue());
        }
    }
}

TEST (Parameters, ReadBackIsClampedToTheRange)
{
    auto p = makeProcessor();
    const struct { int index; double internal; float expected; } cases[] = {
        { ParameterIndex::pitch,      -3.0,  0.0f },   // below the range
        { ParameterIndex::pitch,       3.0,  1.0f },   // above the range
        { ParameterIndex::formantlfo,  2.0,  0.0f },   // downward row, beyond its start
        { ParameterIndex::formantlfo, -2.0,  1.0f },
        { ParameterIndex::glide,       0.0,  0.0f },   // below the start of a skewed row
        { ParameterIndex::attack,      2.0,  1.0f },
    };

    for (const auto& c : cases)
    {
        p->setInternalValue (c.index, c.internal);
        EXPECT_EQ (p->getParameter (c.index), c.expected) << c.index << " at " << c.internal;
    }
}

TEST (Parameters, IndicesOutsideTheTableAreHarmless)
{
    auto p = makeProcessor();

    for (int index : { -1, 24, 1000, std::numeric_limits<int>::min() })
    {
        EXPECT_EQ (p->getParameter (index), 0.0f);
        EXPECT_EQ (p->getParameterName (index), "");
        p->setParameter (index, 0.7f);
    }

    for (int i = 0; i < numParameters; ++i)
        EXPECT_EQ (p->getInternalValue (i), parameterRows[(size_t) i].defaultValue);
}

TEST (Parameters, NonFiniteHostValuesChangeNothing)
{
    auto p = makeProcessor();
    p->setParameter (ParameterIndex::link, 1.0f);
    const int before = p->getSynth().getNumVoices();

    for (int i = 0; i < numParameters; ++i)
    {
        const double old = p->getInternalValue (i);

        for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity() })
        {
            p->setParameter (i, bad);
            EXPECT_EQ (p->getInternalValue (i), old) << parameterRows[(size_t) i].key;
        }
    }

    EXPECT_EQ (p->getSynth().getNumVoices(), before);
}

TEST (Parameters, LinkMovesFormantWithPitchAndSendsOneChangeMessage)
{
    ChangeCounter counter;

    auto p = makeProcessor();
    p->addChangeListener (&counter);

    p->setInternalValue (ParameterIndex::formant, 0.2);
    p->setParameter (ParameterIndex::link, 1.0f);            // offset 0.2 taken now
    p->setParameter (ParameterIndex::pitch, 0.75f);          // pitch 0.5
    p->dispatchPendingMessages();
    EXPECT_EQ (counter.count, 0);                            // delivered by the timer, not from here
    p->timerCallback();
    p->dispatchPendingMessages();

    EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::formant), 0.7);
    EXPECT_EQ (counter.count, 1);

    // moving the formant while linked takes a new offset
    p->setParameter (ParameterIndex::formant, 0.5f);         // formant 0, offset -0.5
    p->setParameter (ParameterIndex::pitch, 1.0f);           // pitch 1
    EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::formant), 0.5);

    // the modulation depths follow the same rule, without a message
    p->setParameter (ParameterIndex::pitchlfo, 0.75f);       // pitchlfo 0.5, formantlfo 0 + offset 0
    EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::formantlfo), 0.5);
    p->setParameter (ParameterIndex::formantenv, 0.25f);     // formantenv 0.5: offset 0.5 - 0
    p->setParameter (ParameterIndex::pitchenv, 0.75f);       // pitchenv 0.5
    EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::formantenv), 1.0);

    // a value pushed beyond its range stays inside, only the read-back is clamped
    p->setParameter (ParameterIndex::pitch, 0.0f);           // pitch -1, formant -1.5
    EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::formant), -1.5);
    EXPECT_EQ (p->getParameter (ParameterIndex::formant), 0.0f);

    p->removeChangeListener (&counter);
}

TEST (Parameters, LinkBelowOneDoesNothing)
{
    auto p = makeProcessor();
    p->setInternalValue (ParameterIndex::formant, 0.2);
    p->setParameter (ParameterIndex::link, 0.9921875f);      // the most a controller can send
    p->setParameter (ParameterIndex::pitch, 0.75f);
    EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::formant), 0.2);
}

TEST (Parameters, PolyStoresTheRawValueAndRebuildsWithItsWholePart)
{
    auto p = makeProcessor();
    const struct { float normalized; int voices; bool polyMode; } cases[] = {
        { 0.3f,  18, true },    // 9.6 stored, 9 voices asked: 18 built
        { 0.99f, 62, true },    // 31
        { 0.03f, 8,  false },   // 0: legato
        { 1.0f / 32, 8, false },// 1: mono
        { 2.0f / 32, 8, true },
        { 1.0f,  64, true },
        { 1e9f,  64, true },    // far beyond the range: bounded to 32
        { -5.0f, 8,  false },
    };

    for (const auto& c : cases)
    {
        p->setParameter (ParameterIndex::poly, c.normalized);
        EXPECT_DOUBLE_EQ (p->getInternalValue (ParameterIndex::poly), 32.0 * (double) c.normalized);
        EXPECT_EQ (p->getSynth().getNumVoices(), c.voices) << c.normalized;
        EXPECT_EQ (p->isPolyMode(), c.polyMode) << c.normalized;
    }
}

TEST (Parameters, SetPolyBoundsAndCounts)
{
    auto p = makeProcessor();
    const struct { int poly; int voices; } cases[] = { { 0, 8 }, { 4, 8 }, { 8, 16 }, { 32, 64 }, { 1000000000, 64 }, { -7, 8 } };

    for (const auto& c : cases)
    {
        p->setPoly (c.poly);
        EXPECT_EQ (p->getSynth().getNumVoices(), c.voices) << c.poly;
    }
}
