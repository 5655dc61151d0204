#include "OutputFiles.h"
#include "RenderError.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{
    // What a signal handler may touch: fixed buffers and unlink().
    constexpr int maxTemporaryFiles = 8;
    constexpr size_t maxPathLength = 4096;
    char temporaryPaths[maxTemporaryFiles][maxPathLength];
    volatile std::sig_atomic_t temporaryPathUsed[maxTemporaryFiles];

    extern "C" void removeTemporaryFilesAndExit (int signalNumber)
    {
        for (int i = 0; i < maxTemporaryFiles; ++i)
            if (temporaryPathUsed[i] != 0)
                ::unlink (temporaryPaths[i]);

        std::signal (signalNumber, SIG_DFL);
        std::raise (signalNumber);
    }

    void remember (const juce::File& file, bool shouldRemember)
    {
        const auto path = file.getFullPathName().toStdString();

        for (int i = 0; i < maxTemporaryFiles; ++i)
        {
            if (shouldRemember && temporaryPathUsed[i] == 0 && path.size() < maxPathLength)
            {
                std::memcpy (temporaryPaths[i], path.c_str(), path.size() + 1);
                temporaryPathUsed[i] = 1;
                return;
            }

            if (! shouldRemember && temporaryPathUsed[i] != 0 && path == temporaryPaths[i])
            {
                temporaryPathUsed[i] = 0;
                return;
            }
        }
    }
}

PendingOutputs::PendingOutputs()
{
    for (auto s : { SIGINT, SIGTERM, SIGHUP })
        std::signal (s, removeTemporaryFilesAndExit);
}

PendingOutputs::~PendingOutputs()
{
    for (auto& f : files)
    {
        f->deleteTemporaryFile();
        remember (f->getFile(), false);
    }
}

juce::File PendingOutputs::add (const juce::File& target)
{
    const auto folder = target.getParentDirectory();

    if (! folder.isDirectory() && folder.createDirectory().failed())
        throw RenderError ("cannot create the folder '" + folder.getFullPathName() + "'");

    if (target.isDirectory())
        throw RenderError ("'" + target.getFullPathName() + "' is a folder");

    files.push_back (std::make_unique<juce::TemporaryFile> (target, juce::TemporaryFile::useHiddenFile));
    remember (files.back()->getFile(), true);
    return files.back()->getFile();
}

void PendingOutputs::commit()
{
    for (auto& f : files)
    {
        // rename() replaces the target in one step: readers see the old file or the new one.
        const auto from = f->getFile().getFullPathName().toStdString();
        const auto to = f->getTargetFile().getFullPathName().toStdString();

        if (std::rename (from.c_str(), to.c_str()) != 0)
            throw RenderError ("cannot write '" + f->getTargetFile().getFullPathName() + "'");

        remember (f->getFile(), false);
    }
}
