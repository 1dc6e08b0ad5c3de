// The controller's journal of unsaved work: written on the window's timer
// and at every time the recorder writes, offered back after a crash.
#include "app/Controller.h"

#include "app/ProjectOpen.h"
#include "app/Recovery.h"
#include "app/Ui.h"
#include "io/Files.h"
#include "render/ProjectLook.h"

// --- the journal of unsaved work ------------------------------------------------

void Controller::removeJournal() {
    if (journalWritten_) files::removeFile(journalPath_);
    journalWritten_ = false;
}

void Controller::journalTick() {
    if (s_.recoveryDir.empty()) return;
    if (!hasUnsavedWork()) {
        removeJournal();
        return;
    }
    if (journalWritten_ && s_.list.revision() == journalRevision_ && sameLook(s_.style, journalStyle_) &&
        journalProject_ == s_.projectPath + "|" + s_.projectName + "|" + s_.projectLanguage)
        return;
    if (journalPath_.empty()) journalPath_ = journalPathOf(s_.recoveryDir, files::processId());
    if (!files::isDirectory(s_.recoveryDir) && !files::makeDirectories(s_.recoveryDir)) return;
    RecoveryJournal j;
    j.projectPath = s_.projectPath;
    j.projectName = s_.projectName;
    j.changed = formatProjectDate(localTimeNow());
    if (const Preset* preset = s_.preset();
        preset && s_.profile() && (!isPresetLook(s_.style, *preset, *s_.profile()) || !s_.projectLanguage.empty())) {
        j.look = lookOfStyle(s_.style, *preset);
        j.look->language = s_.projectLanguage;
    }
    ProjectHeader header{s_.projectWidth, s_.projectHeight, s_.profileIndex, s_.presetIndex, s_.timedLength};
    j.projectText = formatProject(s_.list, header, localTimeNow(), s_.projectExt, s_.versionText);
    // Written whole into a temporary and renamed: a crash leaves the old
    // journal or the new one, never half of one. A journal that cannot be
    // written is tried again at the next tick.
    if (!files::writeFileAtomic(journalPath_, formatJournal(j))) return;
    journalWritten_ = true;
    journalRevision_ = s_.list.revision();
    journalStyle_ = s_.style;
    journalProject_ = s_.projectPath + "|" + s_.projectName + "|" + s_.projectLanguage;
}

bool Controller::offerRecovery() {
    if (s_.recoveryDir.empty()) return false;
    for (const std::string& path : orphanedJournals(s_.recoveryDir)) {
        std::string bytes;
        std::optional<RecoveryJournal> j;
        if (files::readFile(path, bytes, kMaxOpenBytes)) j = parseJournal(bytes);
        if (!j) {
            ui_.messageBox("Warning!", "A journal of unsaved work could not be read and was removed:\n" + path);
            files::removeFile(path);
            continue;
        }
        const std::string name = j->projectPath.empty() ? j->projectName + s_.projectExt : j->projectPath;
        if (!ui_.askYesNo("Question", "Recover unsaved work?\n\n" + name + ", last changed " +
                                          j->changed + ", was not saved when Kalvero ended.\nNo discards it.")) {
            files::removeFile(path);
            continue;
        }
        if (!project_.recoverProject(j->projectText, j->projectPath, j->projectName, j->look)) {
            ui_.messageBox("Error!", "The journal of unsaved work holds no project and was removed:\n" + path);
            files::removeFile(path);
            continue;
        }
        // The work now lives in this copy; its own journal takes it over.
        files::removeFile(path);
        journalTick();
        return true;
    }
    return false;
}

