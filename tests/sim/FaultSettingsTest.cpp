// The fault settings, the quirks and the rest of korvata-sim's command line.
#include <gtest/gtest.h>

#include "sim/FaultSettings.h"
#include "sim/QuirkSettings.h"
#include "sim/SimOptions.h"

namespace {

using kvt::sim::FaultSettings;
using kvt::sim::QuirkSettings;
using kvt::sim::SimOptions;

TEST(FaultSettings, AppliesEachKnownKey) {
    FaultSettings f;
    std::string error;
    EXPECT_TRUE(f.Apply("delay=250", error)) << error;
    EXPECT_TRUE(f.Apply("silent-after=0", error)) << error;
    EXPECT_TRUE(f.Apply("drop-after=7", error)) << error;
    EXPECT_TRUE(f.Apply("garbage-every=3", error)) << error;
    EXPECT_TRUE(f.Apply("oversize=1048576", error)) << error;
    EXPECT_EQ(f.delayMs, 250u);
    EXPECT_EQ(f.silentAfter, 0u);
    EXPECT_EQ(f.dropAfter, 7u);
    EXPECT_EQ(f.garbageEvery, 3u);
    EXPECT_EQ(f.oversize, 1048576u);
    // A later setting of the same key wins.
    EXPECT_TRUE(f.Apply("drop-after=18446744073709551615", error));
    EXPECT_EQ(f.dropAfter, UINT64_MAX);
}

TEST(FaultSettings, RejectsMalformedSettingsAndLeavesOthersAlone) {
    for (const char* bad :
         {"delay", "delay=", "=5", "delay=-1", "delay=5ms", "delay= 5", "delay=0x10", "loud=1",
          "DELAY=5", "silent-after=1.5", "drop-after=18446744073709551616", "oversize=67108865",
          "delay=3600001"}) {
        FaultSettings f;
        std::string error;
        EXPECT_FALSE(f.Apply(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(f.delayMs, 0u) << bad;
        EXPECT_FALSE(f.silentAfter.has_value()) << bad;
        EXPECT_FALSE(f.dropAfter.has_value()) << bad;
        EXPECT_EQ(f.oversize, 0u) << bad;
    }
    FaultSettings f;
    std::string error;
    EXPECT_TRUE(f.Apply("oversize=67108864", error)) << error;
}

TEST(SimOptions, DefaultsServeTheRawSocketOn5025) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(o.Parse({}, error)) << error;
    EXPECT_EQ(o.socketPort, 5025);
    EXPECT_FALSE(o.vxi11);
    EXPECT_FALSE(o.announce);
    EXPECT_FALSE(o.help);
    EXPECT_FALSE(o.portmapperPort.has_value());
    EXPECT_EQ(o.seed, 1u);
    EXPECT_TRUE(o.logPath.empty());
}

TEST(SimOptions, ParsesBothSpellingsAndRepeatedFaults) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(o.Parse({"--socket=0", "--vxi11", "--portmapper", "4111", "--seed=42", "--log",
                         "/tmp/x.log", "--fault", "delay=5", "--fault=drop-after=2"},
                        error))
        << error;
    EXPECT_EQ(o.socketPort, 0);
    EXPECT_TRUE(o.vxi11);
    EXPECT_EQ(o.portmapperPort, 4111);
    EXPECT_EQ(o.seed, 42u);
    EXPECT_EQ(o.logPath, "/tmp/x.log");
    EXPECT_EQ(o.faults.delayMs, 5u);
    EXPECT_EQ(o.faults.dropAfter, 2u);
    EXPECT_FALSE(o.quirks.Any());
}

TEST(QuirkSettings, EachNameTurnsOnItsBehaviourAndAllTurnsOnEvery) {
    struct Case {
        const char* names;
        bool (*holds)(const QuirkSettings&);
    };
    const std::vector<Case> cases = {
        {"max-recv-1024", [](const QuirkSettings& q) { return q.maxRecvSize == 1024; }},
        {"max-recv-128", [](const QuirkSettings& q) { return q.maxRecvSize == 128; }},
        {"pieces-40", [](const QuirkSettings& q) { return q.piecesWithReqcnt && !q.piecesBare; }},
        {"pieces-40-bare",
         [](const QuirkSettings& q) { return q.piecesBare && !q.piecesWithReqcnt; }},
        {"ignore-termchar", [](const QuirkSettings& q) { return q.ignoreTermChar; }},
        {"late-end", [](const QuirkSettings& q) { return q.lateEnd; }},
        {"empty-reads", [](const QuirkSettings& q) { return q.emptyReads; }},
        {"fragments", [](const QuirkSettings& q) { return q.fragments; }},
        {"no-lock-wait", [](const QuirkSettings& q) { return q.refuseLockWait; }},
        {"one-link", [](const QuirkSettings& q) { return q.oneLink; }},
        {"late-end,one-link",
         [](const QuirkSettings& q) { return q.lateEnd && q.oneLink && !q.fragments; }},
        {"all",
         [](const QuirkSettings& q) {
             return q.maxRecvSize == 128 && q.piecesWithReqcnt && q.piecesBare &&
                    q.ignoreTermChar && q.lateEnd && q.emptyReads && q.fragments &&
                    q.refuseLockWait && q.oneLink;
         }},
    };
    for (const Case& c : cases) {
        QuirkSettings q;
        std::string error;
        ASSERT_TRUE(q.Apply(c.names, error)) << c.names << ": " << error;
        EXPECT_TRUE(q.Any()) << c.names;
        EXPECT_TRUE(c.holds(q)) << c.names;
    }
    EXPECT_FALSE(QuirkSettings{}.Any());
}

TEST(QuirkSettings, AnUnknownNameChangesNothing) {
    for (const char* bad : {"", "loud", "late-end,", ",late-end", "late-end,,fragments", "LATE-END",
                            "late-end,loud", "max-recv"}) {
        QuirkSettings q;
        std::string error;
        EXPECT_FALSE(q.Apply(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_FALSE(q.Any()) << bad;
    }
}

TEST(SimOptions, QuirksAddUpAndNeedVxi11) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(
        o.Parse({"--vxi11", "--quirk", "late-end,fragments", "--quirk=max-recv-128"}, error))
        << error;
    EXPECT_TRUE(o.quirks.lateEnd);
    EXPECT_TRUE(o.quirks.fragments);
    EXPECT_EQ(o.quirks.maxRecvSize, 128u);
    EXPECT_FALSE(o.quirks.oneLink);
    SimOptions without;
    EXPECT_FALSE(without.Parse({"--quirk", "all"}, error));
    EXPECT_NE(error.find("--vxi11"), std::string::npos) << error;
}

TEST(SimOptions, AnnounceIsAFlagOfItsOwn) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(o.Parse({"--announce"}, error)) << error;
    EXPECT_TRUE(o.announce);
    EXPECT_FALSE(o.vxi11);
    SimOptions both;
    ASSERT_TRUE(both.Parse({"--vxi11", "--announce", "--socket", "0"}, error)) << error;
    EXPECT_TRUE(both.announce);
    EXPECT_TRUE(both.vxi11);
    EXPECT_EQ(both.socketPort, 0);
}

TEST(SimOptions, RejectsBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {{"--socket"},
                                                       {"--socket", "65536"},
                                                       {"--socket", "-1"},
                                                       {"--socket", "abc"},
                                                       {"--seed", "1e3"},
                                                       {"--portmapper", "111"},
                                                       {"--fault", "nope=1"},
                                                       {"--fault"},
                                                       {"--vxi11", "--quirk", "nope"},
                                                       {"--vxi11", "--quirk"},
                                                       {"--log", ""},
                                                       {"--bogus"},
                                                       {"-h"},
                                                       {"positional"},
                                                       {"--vxi11=yes"},
                                                       {"--help=1"},
                                                       {"--announce=yes"},
                                                       {"--announce", "now"}};
    for (const auto& arguments : bad) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(o.Parse(arguments, error)) << arguments[0];
        EXPECT_FALSE(error.empty()) << arguments[0];
    }
}

}  // namespace
