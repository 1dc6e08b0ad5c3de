#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/ProjectLook.h"

// The journal of unsaved work. While the list or the look holds work that is
// not saved, the program keeps a copy of it in a journal of its own
// (journal-PID.kvr in the recovery folder), replaced whole and synced to disk
// at most every two seconds, so that a crash at any moment leaves a readable
// journal. A clean Save or Quit removes it; the next start after a crash
// offers what it holds. The project file itself is never written from here.
struct RecoveryJournal {
    std::string projectPath;  // the project's file; empty for a project never saved
    std::string projectName;
    std::string changed;      // when the work last changed, as the user reads it
    std::optional<ProjectLook> look;
    std::string projectText;  // the project file's text as Save would write it
};

std::string formatJournal(const RecoveryJournal& journal);
// nullopt when the text is no journal.
std::optional<RecoveryJournal> parseJournal(std::string_view text);

// The journal file of this process in `folder`.
std::string journalPathOf(const std::string& folder, long pid);
// Journals in `folder` whose program is no longer running, newest first.
std::vector<std::string> orphanedJournals(const std::string& folder);
