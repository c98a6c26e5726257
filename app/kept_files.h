#pragma once
// The two files the window keeps, the settings and the target list: read at start, both saved at
// the close whatever becomes of the other, with what to tell the user about either.
#include <QString>
#include <vector>

#include "settings/settings_file.h"
#include "settings/target_list_file.h"

class KeptFiles {
public:
    KeptFiles(SettingsFile& settings, QString targetListPath)
        : settings_(settings), targetList_(std::move(targetListPath)) {}

    WindowSettings loadSettings() { return settings_.load(); }
    std::vector<Target> loadTargets() { return targetList_.load(); }
    // The window could not hold the targets loaded after all (the memory ran out).
    void targetsNotHeld() { targetList_.notHeld(); }
    // One line per file that could not be read at start; empty when there is nothing to tell.
    QString notReadMessage() const;
    // Saves both files; raises std::runtime_error naming, a line each, every file that failed.
    void save(const WindowSettings& settings, const std::vector<Target>& targets);
    // After a good save: where originals were kept, or empty.
    QString savedNote() const;

private:
    SettingsFile& settings_;
    TargetListFile targetList_;
};
