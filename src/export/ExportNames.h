#pragma once
#include <string>

// Folder and file naming shared by every export: each export writes into a
// folder of its own below the project folder, and picture files carry a
// zero-padded running number.
namespace exportnames {

enum class OutputKind { PngSequence, IffScala, Avi, AviWork, Capture, Bdn, Sup, VobSub, Dvb, SubRip, WebVtt, Stl, Scc, Ass };

// "PNG_Output", "IFF-SCALA_Output", "AVI_Output", "Temp_Output", "Capture_Output",
// "BDN_Output", "SUP_Output", "VobSub_Output", "DVB_Output", "SRT_Output", "VTT_Output",
// "STL_Output", "SCC_Output", "ASS_Output".
const char* folderName(OutputKind kind);

// projectDir + folder name + separator. An empty projectDir gives a folder
// relative to the working folder; a projectDir without a trailing separator
// gets one.
std::string outputFolder(const std::string& projectDir, OutputKind kind);

// Base name of the export files: the file part of projectName with every
// occurrence of projectExt removed, letter case compared exactly.
std::string shortenProjectName(const std::string& projectName, const std::string& projectExt);

// Base name of a capture: the file part of projectName with every ".kvl8"
// removed whatever its letter case.
std::string captureBaseName(const std::string& projectName);

// The first 16 bytes of a base name (the Amiga side keeps names short),
// never ending inside a UTF-8 character, with '"' and control characters (a
// line break would end a line of the Scala script) replaced by '_'.
std::string name16(const std::string& name);

// The 16-character name project `name` uses in the IFF output `folder`:
// name16(name), unless another project already uses that name there; then
// the first free one of name16 cut shorter + "_2", "_3", ... The choice is
// kept in the folder (".kalvero-names", under a lock, so that concurrent runs
// choose apart), and a project keeps its name from run to run. Pictures left
// by an earlier version that recorded nothing count as the first claimant's.
std::string uniqueName16(const std::string& folder, const std::string& name);

// uniqueName16 for one export run, which gives its choice back through
// releaseName16 when it ends without its files: a name this run recorded goes
// from the record again (entries of other runs stay, byte for byte), and a
// record left empty goes with it.
struct Name16Claim {
    std::string name;       // the name to use
    bool recorded = false;  // this run added the name to the record
    bool endedLastLine = false;  // ... after ending a last line that had no line break
    std::string error;  // the record cannot be used (a folder, a link, too large): nothing is written
};
Name16Claim claimName16(const std::string& folder, const std::string& name);
void releaseName16(const std::string& folder, const std::string& name, const Name16Claim& claim);

// Picture number in four digits ("0001"); numbers above 9999 keep all their
// digits ("10000") so that no picture overwrites an earlier one.
std::string pictureNumber(long long n);

// folder + name + NNNN + ".png"
std::string pngPicturePath(const std::string& folder, const std::string& name, long long n);
// folder + name16 + NNNN + ".iff"
std::string iffPicturePath(const std::string& folder, const std::string& name, long long n);
// folder + name16 + "_poster.iff"
std::string posterPath(const std::string& folder, const std::string& name);
// folder + name16 + ".script"
std::string scriptPath(const std::string& folder, const std::string& name);
// folder + captureBase + "_" + RRRR + ".png"
// name + "_subtitles.avi"
std::string aviMoviePath(const std::string& folder, const std::string& name);
std::string capturePath(const std::string& folder, const std::string& captureBase, long long row);

// n + " frames were exported!"
std::string exportedMessage(long long n);

}  // namespace exportnames
