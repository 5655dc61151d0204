#pragma once

#include <juce_core/juce_core.h>
#include <functional>

/** The bank of presets in memory and the bank file, shared by every
    processor instance of one process through a juce::SharedResourcePointer:
    created when the first instance attaches, released with the last one.

    Meant for the message thread, but hosts may construct instances on other
    threads, so every change of the bank or the bank file happens under a lock.
    The element returned by getBank() stays valid until the next reset or load.
*/
class PresetBank
{
public:
    PresetBank();
    ~PresetBank();

    /** Points the bank back at the default bank file and re-reads it. A missing
        file is first written from the factory bank; an unreadable one gives an
        empty bank (and the file is left alone). */
    void resetToDefaultBankFile();

    /** The bank's root element (never null). */
    juce::XmlElement* getBank() const;
    juce::File getBankFile() const;

    /** Replaces the bank by the contents of `file` and makes it the bank file.
        Returns false, changing nothing, when the file does not exist or does not
        parse as XML. */
    bool loadBankFile (const juce::File& file);

    /** Appends a preset as the last child and writes the whole bank to the bank
        file. Returns whether the file was written; the preset stays in the bank
        either way, and a failed write leaves the previous file intact. */
    bool appendPreset (std::unique_ptr<juce::XmlElement> preset);

    /** "Quillfen"/"ovarn"/"Ovarn-Presets.ovb" in the user's application-data folder. */
    static juce::File getDefaultBankFile();

    /** The factory bank compiled into the plug-in (empty when built without resources). */
    static juce::MemoryBlock getFactoryBankData();

    /** False inside JUCE's LV2 manifest helper, which constructs the processor
        at build time: it must not write into the builder's home folder. */
    static bool mayCreateDefaultBankFile();

    /** Shows the warning for an unreadable bank file. By default an asynchronous
        alert box; tests replace it to observe the call without a display. */
    using AlertFunction = std::function<void (const juce::String& title, const juce::String& message)>;
    static AlertFunction showAlert;

    /** The default of showAlert. */
    static void showAsyncAlert (const juce::String& title, const juce::String& message);

private:
    juce::CriticalSection lock;
    std::unique_ptr<juce::XmlElement> bank;
    juce::File bankFile;

    JUCE_DECLARE_NON_COPYABLE (PresetBank)
};
