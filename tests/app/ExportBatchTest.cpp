// "Export all checked" and the list order the export dialog shows, with
// "Sort by Time" as one undo step.
#include <cstdio>

#include "app/ControllerFixture.h"
#include "reliability/ToolRun.h"
#include "app/ExportBatch.h"
#include "app/ExportCommands.h"
#include "app/ListOrder.h"
#include "base/Text.h"
#include "export/SubtitleExport.h"

namespace fs = std::filesystem;

namespace {
class ExportBatchTest : public ControllerTest {
public:
    // Opens a project whose sets have these texts and times (ON>OFF).
    void open(const std::vector<std::pair<std::string, std::string>>& sets) {
        std::string s = "##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n"
                        "##-Resolution Height: 576\r\n##-Profile: 1\r\n##-Preset: 0\r\n"
                        "##-Date Written: 09 Mar 2017 @ 14:05:09\r\n##-Number of lines/pages: " +
                        std::to_string(2 * sets.size()) + " / " + std::to_string(sets.size()) +
                        "\r\n##-Word count: 3\r\n##-User Timed Session: 0\r\n##-;\r\n";
        for (size_t k = 0; k < sets.size(); ++k) {
            const std::string id = text::padded(long(2 * k), 4);
            s += "A" + id + "|" + sets[k].first + "|" + sets[k].second + "||" + std::to_string(100 + k) + "\r\n";
            s += "B" + id + "|b" + std::to_string(k) + "|" + sets[k].second + "||" + std::to_string(100 + k) + "\r\n";
        }
        fs::create_directories(dir / "film_project");
        const std::string path = (dir / "film_project" / "film.KVL8").string();
        ASSERT_TRUE(files::writeFileAtomic(path, s));
        c().commandLineOpen({path});
        ui.messages.clear();
    }
    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (int k = 0; k < state.list.lineCount() / 2; ++k) out.push_back(row(2 * k));
        return out;
    }
};

}  // namespace

TEST_F(ExportBatchTest, ListOrderNoteNamesTheSetsAndSortByTimeIsOneUndoStep) {
    open({{"one", "00:00:01:00>00:00:02:00"},
          {"three", "00:00:05:00>00:00:06:00"},
          {"two", "00:00:03:00>00:00:04:00"},
          {"untimed", ""},
          {"zero", "00:00:00:05>00:00:00:20"}});
    const std::string note = listOrderedNote(state);
    EXPECT_NE(note.find("left out: 3, 5 (starts before a set above it)"), std::string::npos) << note;

    c().dispatch(Event::menu(ctl::SortByTimeMenuId));
    EXPECT_EQ(texts(), (std::vector<std::string>{"zero", "one", "two", "untimed", "three"}));
    EXPECT_EQ(row(1), "b4");                          // line B moved with its set
    EXPECT_EQ(row(0, Column::Y), "104");              // and the Y
    EXPECT_EQ(row(2, Column::Timing), "00:00:01:00>00:00:02:00");
    EXPECT_EQ(row(0, Column::OffOn), "5+15");         // the counts made anew
    EXPECT_EQ(row(8, Column::Id), "A0008");
    EXPECT_EQ(listOrderedNote(state), "");
    EXPECT_EQ(c().history().undoName(), "Sort by Time");

    c().undo();
    EXPECT_EQ(texts(), (std::vector<std::string>{"one", "three", "two", "untimed", "zero"}));
    EXPECT_EQ(listOrderedNote(state), note);
}

TEST_F(ExportBatchTest, AllCheckedFormatsRunAndOneReportSumsThemUp) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "the ffmpeg tool is not installed";
    open({{"First", "00:00:01:00>00:00:02:00"}, {"Second", "00:00:03:00>00:00:04:12"}});
    ExportCommands commands(c(), ui);
    const ExportReport all = runExportBatch({
        {"PNG sequence", [&] { return commands.exportPngSequence(); }},
        {"Refused one", [] { return ExportReport::refusal("Error!", "Nothing to do."); }},
        {"SubRip (.srt)", [&] { return commands.exportSubtitleTrack(SubtitleFormat::SubRip); }},
    });
    EXPECT_EQ(all.outcome, ExportReport::Outcome::Failed);
    EXPECT_EQ(all.title, "Warning!");
    EXPECT_EQ(all.text.rfind("2 of 3 exports done.\n\nPNG sequence: 2 pictures written.", 0), 0u) << all.text;
    EXPECT_NE(all.text.find("Refused one: not started. Nothing to do."), std::string::npos) << all.text;
    EXPECT_NE(all.text.find("SubRip (.srt): "), std::string::npos);

    std::string srt;
    for (const std::string& f : all.written)
        if (f.size() > 4 && f.substr(f.size() - 4) == ".srt") srt = f;
    ASSERT_FALSE(srt.empty());
    // FFmpeg's SubRip reader gets both cues at their times.
    const std::string read = toolrun::stdoutOf("ffmpeg -nostdin -v error -i '" + srt + "' -f srt - 2>&1");
    EXPECT_NE(read.find("00:00:01,000 --> 00:00:02,000"), std::string::npos) << read;
    EXPECT_NE(read.find("First"), std::string::npos) << read;
    EXPECT_NE(read.find("00:00:03,000 --> 00:00:04,480"), std::string::npos) << read;
    // The pictures decode.
    int pngs = 0;
    for (const std::string& f : all.written)
        if (f.size() > 4 && f.substr(f.size() - 4) == ".png") {
            ++pngs;
            EXPECT_NE(toolrun::stdoutOf("ffprobe -v error -show_entries stream=width -of csv=p=0 '" + f + "'"), "") << f;
        }
    EXPECT_EQ(pngs, 2);

    EXPECT_EQ(runExportBatch({}).outcome, ExportReport::Outcome::Refused);
}
