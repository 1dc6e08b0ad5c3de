// Forced sets in the picture tracks, read back by independent readers:
// FFmpeg's pgssub and dvdsub decoders (AV_SUBTITLE_FLAG_FORCED on each
// decoded subtitle), python's XML parser for BDN, and the VobSub index's own
// line; "--forced-only" writes the forced sets alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "cli/CliFixture.h"
#include "reliability/ToolRun.h"
#include "media/SubtitleDecode.h"

namespace {

const ProjectProfile kPal{1, 720, 576, 25.0f, 430};

// Four timed sets; sets 2 and 4 (from 1) are forced.
std::string forcedProject() {
    std::string text = projectText(kPal, {{"One", "a", "00:00:01:00>00:00:02:00"},
                                          {"Two", "b", "00:00:03:00>00:00:04:00"},
                                          {"Three", "c", "00:00:05:00>00:00:06:00"},
                                          {"Four", "d", "00:00:07:00>00:00:08:00"}});
    for (const char* id : {"A0002|", "A0006|"}) {
        const size_t at = text.find(id);
        text.insert(text.find("\r\n", at), "|forced");
    }
    return text;
}

class ForcedTracksTest : public CliFolderTest {};

}  // namespace

TEST_F(ForcedTracksTest, DecodersSeeTheForcedSetsAndForcedOnlyWritesThemAlone) {
    write("demo.KVL8", forcedProject());
    struct Case {
        const char* format;
        const char* file;
        const char* demuxer;
    };
    const Case cases[] = {{"sup", "SUP_Output/demo.sup", "sup"},
                          {"vobsub", "VobSub_Output/demo.idx", "vobsub"},
                          {"vobsub", "VobSub_Output/demo.mks", "matroska"}};
    for (const bool only : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.file) + (only ? " forced only" : ""));
            std::vector<std::string> args = {"export", c.format, path("demo.KVL8")};
            if (only) args.push_back("--forced-only");
            const CliRun r = run(args);
            ASSERT_EQ(r.code, 0) << r.err;
            std::vector<bool> forced;
            std::vector<long long> starts;
            for (const subdecode::Decoded& d : subdecode::decodeFile(path(c.file), 720, 576, c.demuxer))
                if (d.rects > 0) forced.push_back(d.forced), starts.push_back((d.pts90k + 45000) / 90000);  // whole seconds
            if (only) {
                EXPECT_EQ(forced, (std::vector<bool>{true, true}));
                EXPECT_EQ(starts, (std::vector<long long>{3, 7}));
                EXPECT_NE(r.err.find("2 sets left out (not forced"), std::string::npos) << r.err;
            } else {
                EXPECT_EQ(forced, (std::vector<bool>{false, true, false, true}));
            }
        }
    }
    EXPECT_NE(read("VobSub_Output/demo.idx").find("\nforced subs: ON\n"), std::string::npos);

    for (const bool only : {false, true}) {
        std::vector<std::string> args = {"export", "bdn", path("demo.KVL8")};
        if (only) args.push_back("--forced-only");
        ASSERT_EQ(run(args).code, 0);
        EXPECT_EQ(toolrun::stdoutOf("python3 -c \"import sys, xml.etree.ElementTree as E; "
                           "print(' '.join(e.get('InTC') + '=' + e.get('Forced') for e in "
                           "E.parse(sys.argv[1]).getroot().iter('Event')))\" '" +
                           path("BDN_Output/demo.xml") + "'"),
                  only ? "00:00:03:00=True 00:00:07:00=True\n"
                       : "00:00:01:00=False 00:00:03:00=True 00:00:05:00=False 00:00:07:00=True\n");
    }
}

TEST_F(ForcedTracksTest, WithoutForcedSetsTheIndexStaysAsItWasAndForcedOnlyIsRefusedElsewhere) {
    write("plain.KVL8", projectText(kPal, {{"One", "a", "00:00:01:00>00:00:02:00"}}));
    ASSERT_EQ(run({"export", "vobsub", path("plain.KVL8")}).code, 0);
    EXPECT_EQ(read("VobSub_Output/plain.idx").find("forced"), std::string::npos);
    for (const char* format : {"png", "stl", "scc", "avi"}) {
        SCOPED_TRACE(format);
        const CliRun r = run({"export", format, path("plain.KVL8"), "--forced-only"});
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("--forced-only applies to the subtitle tracks"), std::string::npos) << r.err;
    }
}
