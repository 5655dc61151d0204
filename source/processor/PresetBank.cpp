#include "PresetBank.h"
#include "PresetCodec.h"

#include <juce_gui_basics/juce_gui_basics.h>

#if OVARN_HAS_BINARY_DATA
 #include "BinaryData.h"
#endif

PresetBank::AlertFunction PresetBank::showAlert = PresetBank::showAsyncAlert;

PresetBank::PresetBank()
    : bank (std::make_unique<juce::XmlElement> (PresetCodec::bankTag))
{
}

PresetBank::~PresetBank() = default;

juce::XmlElement* PresetBank::getBank() const
{
    const juce::ScopedLock sl (lock);
    return bank.get();
}

juce::File PresetBank::getBankFile() const
{
    const juce::ScopedLock sl (lock);
    return bankFile;
}

void PresetBank::resetToDefaultBankFile()
{
    const juce::ScopedLock sl (lock);
    bankFile = getDefaultBankFile();

    if (! bankFile.exists() && mayCreateDefaultBankFile())
    {
        const auto factory = getFactoryBankData();

        if (! factory.isEmpty())
            PresetCodec::replaceFileContents (bankFile, factory.getData(), factory.getSize());
    }

    auto parsed = PresetCodec::readBankFile (bankFile);
    bank = parsed != nullptr ? std::move (parsed)
                             : std::make_unique<juce::XmlElement> (PresetCodec::bankTag);
}

bool PresetBank::loadBankFile (const juce::File& file)
{
    auto parsed = PresetCodec::readBankFile (file);

    if (parsed == nullptr)
        return false;

    const juce::ScopedLock sl (lock);
    bank = std::move (parsed);
    bankFile = file;
    return true;
}

bool PresetBank::appendPreset (std::unique_ptr<juce::XmlElement> preset)
{
    const juce::ScopedLock sl (lock);

    if (preset != nullptr)
        bank->addChildElement (preset.release());

    const auto data = PresetCodec::createBankFileData (*bank);
    return PresetCodec::replaceFileContents (bankFile, data.getData(), data.getSize());
}

juce::File PresetBank::getDefaultBankFile()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
               .getChildFile ("Quillfen")
               .getChildFile ("ovarn")
               .getChildFile ("Ovarn-Presets.ovb");
}

juce::MemoryBlock PresetBank::getFactoryBankData()
{
   #if OVARN_HAS_BINARY_DATA
    return { BinaryData::ovarnpresets_ovb, (size_t) BinaryData::ovarnpresets_ovbSize };
   #else
    return {};
   #endif
}

bool PresetBank::mayCreateDefaultBankFile()
{
   #if JUCE_LINUX || JUCE_BSD
    // In a plug-in the framework's "current executable" is the plug-in's own
    // library, so the process image is asked instead.
    static const bool insideManifestHelper =
        juce::File ("/proc/self/exe").getLinkedTarget().getFileName() == "juce_lv2_helper";
    return ! insideManifestHelper;
   #else
    return juce::File::getSpecialLocation (juce::File::hostApplicationPath)
               .getFileNameWithoutExtension() != "juce_lv2_helper";
   #endif
}

void PresetBank::showAsyncAlert (const juce::String& title, const juce::String& message)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, message);
}
