#include "engine/manifest/setup_manifest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>

namespace zel {
namespace {

// A clock that moves by a fixed odd stride per reading, so that many picks
// see many different tick values.
struct SteppingClock {
    std::uint32_t now = 12345;
    std::uint32_t stride;
    explicit SteppingClock(std::uint32_t step) : stride(step) {}
    std::uint32_t operator()() { return now += stride; }
};

std::string Manifest(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<zel>\n" + body + "</zel>\n";
}

TEST(SetupManifestTest, NewRecordAndClear) {
    SetupManifest m;
    EXPECT_EQ(m.threadCount, 2);
    EXPECT_EQ(m.totalSize, 0);
    EXPECT_EQ(m.alternateUrlCount, 0);
    EXPECT_TRUE(m.setupUrl.empty() && m.setupHash.empty() && m.sizeText.empty() &&
                m.saveFileName.empty() && m.savedSetupHash.empty());

    m.setupUrl = "u";
    m.setupHash = "h";
    m.sizeText = "s";
    m.saveFileName = "f";
    m.threadCount = 5;
    m.totalSize = 99;
    m.savedSetupHash = "saved";
    m.alternateUrlCount = 3;
    m.chosenUrlIndex = 2;
    m.urlsTaken = 1;
    m.Clear();
    EXPECT_TRUE(m.setupUrl.empty() && m.setupHash.empty() && m.sizeText.empty() &&
                m.saveFileName.empty());
    EXPECT_EQ(m.threadCount, 5);
    EXPECT_EQ(m.totalSize, 99);
    EXPECT_EQ(m.savedSetupHash, "saved");
    EXPECT_EQ(m.alternateUrlCount, 3);
    EXPECT_EQ(m.chosenUrlIndex, 2);
    EXPECT_EQ(m.urlsTaken, 1);
}

TEST(SetupManifestTest, PickNeverTakesPositionZeroForTwoOrMoreUrls) {
    for (std::int32_t n = 2; n <= 9; ++n) {
        SetupManifest m;
        m.tickSource = SteppingClock(7919);
        m.alternateUrlCount = n;
        std::set<std::int32_t> seen;
        for (int pick = 0; pick < 5000; ++pick) {
            std::int32_t x = m.PickUrlIndex();
            ASSERT_GE(x, 1) << "n=" << n;
            ASSERT_LT(x, n) << "n=" << n;
            EXPECT_EQ(m.chosenUrlIndex, x);
            seen.insert(x);
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(n - 1)) << "every later position, n=" << n;
    }
}

// The position is held to 1..n-1 whatever the clock says, so only the spread
// tells that the real clock drives the choice: as it moves on, every later
// alternate gets its turn.
TEST(SetupManifestTest, PickWithTheRealClockReachesEveryLaterPosition) {
    SetupManifest m;
    m.alternateUrlCount = 3;
    std::set<std::int32_t> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (seen.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        seen.insert(m.PickUrlIndex());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(seen, (std::set<std::int32_t>{1, 2}));
}

// A count of 0, negative or without digits would divide by zero or pick
// nothing: it chooses the first URL, as a count of 1 does.
TEST(SetupManifestTest, CountOfOneOrLessOrNoDigitsChoosesTheFirstUrl) {
    for (const char* count : {"1", "0", "-4", "abc", " +1 urls", "-2147483648", ""}) {
        SetupManifest m;
        m.tickSource = SteppingClock(104729);
        m.SetField("alternate_url_count", "7");
        m.SetField("alternate_url_count", count);
        if (*count) {
            EXPECT_EQ(m.chosenUrlIndex, 0) << count;
        }
        m.chosenUrlIndex = 0;
        m.SetField("alternate_setupurl", "http://a.example/first.exe");
        m.SetField("alternate_setupurl", "http://b.example/second.exe");
        EXPECT_EQ(m.setupUrl, "http://a.example/first.exe") << count;
        EXPECT_EQ(m.saveFileName, "first.exe") << count;
    }
}

TEST(SetupManifestTest, CountIsReadFromTheLeadingDecimalNumber) {
    SetupManifest m;
    m.SetField("alternate_url_count", "  +12 alternates");
    EXPECT_EQ(m.alternateUrlCount, 12);
    m.SetField("alternate_url_count", "-3");
    EXPECT_EQ(m.alternateUrlCount, -3);
    m.SetField("alternate_url_count", "99999999999999");
    EXPECT_EQ(m.alternateUrlCount, 2147483647);
    m.SetField("alternate_url_count", "none");
    EXPECT_EQ(m.alternateUrlCount, 0);
}

TEST(SetupManifestTest, ThreeUrlsChooseTheSecondOrTheThird) {
    const std::string text = Manifest(
        "<alternate_url_count>3</alternate_url_count>\n"
        "<alternate_setupurl>http://one.example/a/setup1.exe</alternate_setupurl>\n"
        "<alternate_setupurl>http://two.example/b/setup2.exe</alternate_setupurl>\n"
        "<alternate_setupurl>http://three.example/c/setup3.exe</alternate_setupurl>\n");
    SetupManifest m;
    m.tickSource = SteppingClock(7919);
    std::set<std::string> chosen;
    for (int reading = 0; reading < 200; ++reading) {
        ASSERT_TRUE(m.Parse(text.c_str()));
        chosen.insert(m.setupUrl);
        EXPECT_EQ(m.saveFileName, m.setupUrl.substr(m.setupUrl.rfind('/') + 1));
    }
    EXPECT_EQ(chosen, (std::set<std::string>{"http://two.example/b/setup2.exe",
                                             "http://three.example/c/setup3.exe"}));
}

TEST(SetupManifestTest, UrlsBeforeTheCountOrFewerThanChosenTakeFirstOrLast) {
    SetupManifest m;
    m.tickSource = SteppingClock(7919);
    ASSERT_TRUE(m.Parse(Manifest("<alternate_setupurl>http://h/first.exe</alternate_setupurl>"
                                 "<alternate_setupurl>http://h/second.exe</alternate_setupurl>"
                                 "<alternate_url_count>2</alternate_url_count>")
                            .c_str()));
    EXPECT_EQ(m.setupUrl, "http://h/first.exe");

    // A count of 1000 chooses a position far beyond the two URLs: the last one.
    for (int reading = 0; reading < 50; ++reading) {
        ASSERT_TRUE(m.Parse(Manifest("<alternate_url_count>1000</alternate_url_count>"
                                     "<alternate_setupurl>http://h/first.exe</alternate_setupurl>"
                                     "<alternate_setupurl>http://h/last.exe</alternate_setupurl>")
                                .c_str()));
        EXPECT_EQ(m.setupUrl, "http://h/last.exe");
        EXPECT_EQ(m.urlsTaken, 2);
    }
}

TEST(SetupManifestTest, LaterOfSaveFileNameAndTakenUrlDecidesTheName) {
    SetupManifest m;
    ASSERT_TRUE(
        m.Parse(Manifest("<alternate_url_count>1</alternate_url_count>"
                         "<alternate_setupurl>http://h/dir/from_url.exe</alternate_setupurl>"
                         "<save_file_name>named.exe</save_file_name>")
                    .c_str()));
    EXPECT_EQ(m.saveFileName, "named.exe");
    ASSERT_TRUE(
        m.Parse(Manifest("<save_file_name>named.exe</save_file_name>"
                         "<alternate_url_count>1</alternate_url_count>"
                         "<alternate_setupurl>http://h/dir/from_url.exe</alternate_setupurl>")
                    .c_str()));
    EXPECT_EQ(m.saveFileName, "from_url.exe");
    // A URL without a slash is its own file name.
    m.Parse(Manifest("<alternate_setupurl>plain.exe</alternate_setupurl>").c_str());
    EXPECT_EQ(m.saveFileName, "plain.exe");
}

TEST(SetupManifestTest, FlagIsTheTextBetweenTheFirstAndLastQuote) {
    SetupManifest m;
    m.SetField("flag", "\"0123456789ABCDEF0123456789ABCDEF01234567\"");
    EXPECT_EQ(m.setupHash, "0123456789ABCDEF0123456789ABCDEF01234567");
    m.SetField("flag", "0123456789ABCDEF");
    EXPECT_EQ(m.setupHash, "");
    // Not starting with a quote: still the text between the quotes.
    m.SetField("flag", "sha1=\"ABCDEF\" ");
    EXPECT_EQ(m.setupHash, "ABCDEF");
    m.SetField("flag", "only \"one quote");
    EXPECT_EQ(m.setupHash, "");
    m.SetField("flag", "\"\"");
    EXPECT_EQ(m.setupHash, "");
}

TEST(SetupManifestTest, KeysInAnyCaseTrimmedValuesAndEntities) {
    SetupManifest m;
    ASSERT_TRUE(m.Parse(Manifest("<ALTERNATE_URL_COUNT> 1 </ALTERNATE_URL_COUNT>\n"
                                 "<Alternate_SetupUrl>\n\t http://h/get?a=1&amp;b=2 \r\n"
                                 "</Alternate_SetupUrl>\n"
                                 "<FLAG>  &quot;AB&amp;CD&quot;  </FLAG>\n"
                                 "<Size>  1234 bytes </Size>\n"
                                 "<Save_File_Name>\tsetup &lt;1&gt;.exe\n</Save_File_Name>\n"
                                 "<unknown>ignored</unknown><size></size>")
                            .c_str()));
    EXPECT_EQ(m.setupUrl, "http://h/get?a=1&b=2");
    EXPECT_EQ(m.setupHash, "AB&CD");
    EXPECT_EQ(m.sizeText, "1234 bytes");
    EXPECT_EQ(m.saveFileName, "setup <1>.exe");
}

TEST(SetupManifestTest, KeysAreFoundAtAnyDepthButNotInTheDocumentElement) {
    SetupManifest m;
    ASSERT_TRUE(
        m.Parse("<root>\n"
                "  <group><inner><alternate_setupurl>http://h/deep.exe</alternate_setupurl>"
                "</inner></group>\n"
                "  <other><size>42</size></other>\n"
                "</root>"));
    EXPECT_EQ(m.setupUrl, "http://h/deep.exe");
    EXPECT_EQ(m.sizeText, "42");

    ASSERT_TRUE(m.Parse("<flag>\"AAAA\"</flag>"));
    EXPECT_EQ(m.setupHash, "");
    ASSERT_TRUE(m.Parse("<save_file_name>outer.exe<size>7</size></save_file_name>"));
    EXPECT_EQ(m.saveFileName, "");
    EXPECT_EQ(m.sizeText, "7");
}

TEST(SetupManifestTest, EmptyAndMalformedManifestsYieldNoUrl) {
    SetupManifest m;
    m.setupUrl = "http://h/old.exe";
    for (const char* text : {"", "not xml at all", "<zel><alternate_setupurl>http://h/x.exe",
                             "<zel><alternate_setupurl>http://h/x.exe</wrong></zel>", "<<>>"}) {
        m.Parse(text);
        EXPECT_EQ(m.setupUrl, "") << text;
    }
}

TEST(SetupManifestTest, EachReadingClearsTextsAndChoiceButKeepsTheCount) {
    SetupManifest m;
    ASSERT_TRUE(m.Parse(Manifest("<alternate_url_count>4</alternate_url_count>"
                                 "<alternate_setupurl>http://h/a.exe</alternate_setupurl>"
                                 "<flag>\"F\"</flag><size>9</size>")
                            .c_str()));
    EXPECT_EQ(m.alternateUrlCount, 4);
    ASSERT_TRUE(m.Parse(Manifest("<other>x</other>").c_str()));
    EXPECT_EQ(m.setupUrl, "");
    EXPECT_EQ(m.setupHash, "");
    EXPECT_EQ(m.sizeText, "");
    EXPECT_EQ(m.chosenUrlIndex, 0);
    EXPECT_EQ(m.urlsTaken, 0);
    EXPECT_EQ(m.alternateUrlCount, 4);
}

// With https required, the choice passes over plain http alternates as if
// the manifest did not list them: a chosen position counts https ones only,
// and a manifest of http alternates alone names no package at all.
TEST(SetupManifestTest, WithHttpsRequiredHttpAlternatesAreNeverTaken) {
    const std::string mixed = Manifest(
        "<alternate_url_count>3</alternate_url_count>"
        "<alternate_setupurl>http://h1/setup.exe</alternate_setupurl>"
        "<alternate_setupurl>HTTPS://h2/setup.exe</alternate_setupurl>"
        "<alternate_setupurl>http://h3/other.exe</alternate_setupurl>");
    std::set<std::string> taken;
    for (int i = 0; i < 50; ++i) {
        SetupManifest m;
        m.requireHttps = true;
        m.tickSource = SteppingClock(7919 + 2 * i);
        ASSERT_TRUE(m.Parse(mixed.c_str()));
        taken.insert(m.setupUrl);
        EXPECT_EQ(m.saveFileName, "setup.exe");
    }
    EXPECT_EQ(taken, std::set<std::string>{"HTTPS://h2/setup.exe"});

    SetupManifest plainOnly;
    plainOnly.requireHttps = true;
    ASSERT_TRUE(plainOnly.Parse(Manifest("<alternate_url_count>2</alternate_url_count>"
                                         "<alternate_setupurl>http://h1/a.exe</alternate_setupurl>"
                                         "<alternate_setupurl>http://h2/b.exe</alternate_setupurl>"
                                         "<alternate_setupurl>ftp://h3/c.exe</alternate_setupurl>"
                                         "<alternate_setupurl>https:/h4/d.exe</alternate_setupurl>")
                                    .c_str()));
    EXPECT_EQ(plainOnly.setupUrl, "");
    EXPECT_EQ(plainOnly.saveFileName, "");

    // Without the setting an https manifest may name http alternates: the
    // digest it carries still guards the package.
    SetupManifest either;
    either.requireHttps = false;
    either.tickSource = SteppingClock(7919);
    ASSERT_TRUE(either.Parse(Manifest("<alternate_url_count>1</alternate_url_count>"
                                      "<alternate_setupurl>http://h1/a.exe</alternate_setupurl>")
                                 .c_str()));
    EXPECT_EQ(either.setupUrl, "http://h1/a.exe");
}

TEST(SetupManifestTest, OnlyPlainFileNamesAreAccepted) {
    for (const char* good : {"setup.exe", "Corvanta 3 Setup.exe", "a", "..hidden", "console.exe",
                             "COM10.exe", "LPT0", "\xc3\xa9t\xc3\xa9.exe"}) {
        EXPECT_TRUE(SetupManifest::IsPlainFileName(good)) << good;
    }
    for (const char* bad : {"",
                            ".",
                            "..",
                            "...",
                            " ",
                            "../setup.exe",
                            "..\\setup.exe",
                            "dir/setup.exe",
                            "C:setup.exe",
                            "C:\\Windows\\evil.exe",
                            "\\\\server\\share\\x.exe",
                            "set\x01up.exe",
                            "tab\there",
                            "a<b",
                            "a>b",
                            "a\"b",
                            "a|b",
                            "a?b",
                            "a*b",
                            "CON",
                            "con",
                            "PRN.txt",
                            "aux.exe",
                            "NUL",
                            "Com1",
                            "COM9.exe",
                            "lpt1",
                            "LPT9.tar.gz",
                            "CON .exe",
                            "nul."}) {
        EXPECT_FALSE(SetupManifest::IsPlainFileName(bad)) << bad;
    }
}

// Shift-JIS (code page 932): a lead byte's partner may be '\\' (0x5C) or '|'
// (0x7C), as in "表" (95 5C); the pair is one character, never a separator.
bool IsShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

TEST(SetupManifestTest, DoubleByteNamesAreTakenWholeInTheirCodePage) {
    for (const char* good :
         {"\x95\x5c.exe", "\x95\x5c\x8e\xa6\x8a\x7c.exe", "a\x95\x5c", "setup\x81"}) {
        EXPECT_TRUE(SetupManifest::IsPlainFileName(good, &IsShiftJisLeadByte)) << good;
    }
    // Outside a pair the same bytes still refuse the name, and a pair does
    // not hide what follows it.
    for (const char* bad : {"\x95\x5c\\x.exe", "\x95\x5c/x.exe", "\x95\x5c:x", "x|\x95\x5c",
                            "\x95\x5c\x01", "..\\\x95\x5c", "\x95\x5c\x95\x5c\\..\\x"}) {
        EXPECT_FALSE(SetupManifest::IsPlainFileName(bad, &IsShiftJisLeadByte)) << bad;
    }
    // Where no byte opens a pair, the second byte of "表" is a backslash.
    EXPECT_FALSE(
        SetupManifest::IsPlainFileName("\x95\x5c.exe", [](unsigned char) { return false; }));
}

// Three alternates, each failing in turn: the choice stays while the chosen
// one gives no trouble, moves to the next good one after it (going round),
// and, once every one has failed, goes to the one left alone longest.
TEST(SetupManifestTest, ChoiceOfAlternatePassesOverThoseThatFailedLately) {
    SetupManifest m;
    ASSERT_TRUE(m.Parse(Manifest("<alternate_url_count>3</alternate_url_count>"
                                 "<alternate_setupurl>http://a/p.exe</alternate_setupurl>"
                                 "<alternate_setupurl>http://b/p.exe</alternate_setupurl>"
                                 "<alternate_setupurl>http://c/p.exe</alternate_setupurl>")
                            .c_str()));
    const std::vector<std::string> all = {"http://a/p.exe", "http://b/p.exe", "http://c/p.exe"};
    EXPECT_EQ(m.alternateUrls, all);

    std::map<std::string, std::uint64_t> failed;
    const TroubleRank rank = [&](const std::string& url) {
        auto it = failed.find(url);
        return it == failed.end() ? std::uint64_t{0} : it->second;
    };
    EXPECT_EQ(ChooseAlternate(all, 2, rank), 2);
    failed["http://c/p.exe"] = 1;
    EXPECT_EQ(ChooseAlternate(all, 2, rank), 0) << "round to the first";
    failed["http://a/p.exe"] = 2;
    EXPECT_EQ(ChooseAlternate(all, 2, rank), 1);
    failed["http://b/p.exe"] = 3;
    EXPECT_EQ(ChooseAlternate(all, 1, rank), 2) << "every one failed: the oldest failure";
    EXPECT_EQ(ChooseAlternate({"", "http://b/p.exe"}, 0, nullptr), 1) << "an empty one is unusable";
    EXPECT_EQ(ChooseAlternate({}, 0, nullptr), -1);
}

}  // namespace
}  // namespace zel
