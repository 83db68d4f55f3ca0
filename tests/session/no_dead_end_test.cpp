// Whatever the user presses at whatever moment, the program either ends as
// that command says, or leaves a button that works and a status line that
// says one of the program's texts: never a dialog it cannot leave.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "engine/segments/resume_state.h"
#include "session/session_texts.h"
#include "support/manifest_text.h"
#include "support/session_bench.h"
#include "support/temp_folder.h"
#include "sys/manual_reset_event.h"

namespace zel {
namespace {

using std::chrono::milliseconds;
using test::ServeFaults;
using test::SessionBench;

constexpr std::int32_t kSize = 8 * 32768;

bool IsProgramText(const std::string& text) {
    static const std::set<std::string> known = {"",
                                                texts::kCollectingInfo,
                                                texts::kInternetError,
                                                texts::kDownloading,
                                                texts::kCompleted,
                                                texts::kLaunching,
                                                texts::kPausedStatus,
                                                texts::kRestartedStatus};
    return known.count(text) > 0 || text.rfind(texts::kProgressPrefix, 0) == 0;
}

bool UserCanAct(const test::ScriptedDialog& dialog) {
    const auto pause = dialog.ButtonState(kPauseButtonId);
    const auto cancel = dialog.ButtonState(kCancelButtonId);
    return IsProgramText(dialog.Status()) &&
           ((pause.enabled && (pause.text == texts::kPause || pause.text == texts::kResume)) ||
            (cancel.enabled && cancel.text == "Cancel"));
}

enum State {
    Connecting,
    Collecting,
    Downloading,
    OfflineWithWorkers,
    OfflineBetweenPasses,
    IdleAfterFailedPass,
    Verifying,
    LaunchPending
};
enum Command { Pause, Resume, Restart, CancelYes, CancelNo };

// One cell of the walk: "" when it ended right, else how it went wrong.
std::string Walk(State state, Command command) {
    Timings timings = SessionBench::SlowWrites(25);
    timings.firstRetryWaitMs = 300;  // workers sit in their retry wait a while
    timings.launchTimerMs = 200;
    ManualResetEvent held, release;
    SessionBench bench(timings);
    test::ScriptedDialog& dialog = bench.dialog;
    bench.ServePackage(kSize);
    // The user waits for the line; only the idle state's first answer is No.
    if (state == IdleAfterFailedPass) dialog.Answer(texts::kInternetErrorRetryQuestion, kIdNo);
    for (const char* question :
         {texts::kInternetErrorRetryQuestion, texts::kTransportErrorQuestion})
        for (int i = 0; i < 4; ++i) dialog.Answer(question, kIdYes);
    const auto hold = [&](bool here) {
        if (!here || held.IsSet()) return;
        held.Set();
        release.WaitFor(std::chrono::seconds(20));
    };
    SessionController& controller = bench.MakeController();
    controller.SetPassGate([&] { hold(state == Connecting); });
    controller.SetWaitObserver(
        [&](const char* wait) { hold(state == Verifying && std::string(wait) == "digest"); });
    ServeFaults slow, failing, drop;
    slow.delayMs = failing.delayMs = 300;
    failing.status = 500;
    drop.dropAfterBytes = 0;
    const std::string manifest =
        test::OneUrlManifest(bench.server.Url(SessionBench::kPackagePath), bench.Digest(), kSize);
    if (state == Collecting) bench.server.Serve(SessionBench::kManifestPath, manifest, {}, {slow});
    if (state == IdleAfterFailedPass)
        bench.server.Serve(SessionBench::kManifestPath, manifest, failing);
    if (state == OfflineWithWorkers)
        bench.server.Serve(SessionBench::kPackagePath, bench.Package(), {},
                           {ServeFaults(), drop, drop});  // the size request first
    if (state == LaunchPending) WriteWholeFile(bench.PackageFile(), bench.Package());
    bench.connection.SetOnline(state != OfflineBetweenPasses);
    bench.Start();
    const std::function<bool()> reached[] = {
        [&] { return held.IsSet(); },
        [&] { return bench.ManifestRequests() > 0; },
        [&] { return dialog.Status().rfind(texts::kProgressPrefix, 0) == 0; },
        [&] { return bench.PackageGets().size() >= 2; },
        [&] { return dialog.SawBox(texts::kInternetErrorRetryQuestion); },
        [&] { return bench.ManifestRequests() > 0; },
        [&] { return held.IsSet(); },
        [&] { return dialog.TimersSet() > 0; }};
    if (!dialog.PumpUntil(reached[state], std::chrono::seconds(10))) return "not reached";
    if (state == OfflineWithWorkers || state == IdleAfterFailedPass)
        bench.connection.SetOnline(false);
    if (state == IdleAfterFailedPass &&
        !dialog.PumpUntil([&] { return dialog.SawBox(texts::kInternetErrorRetryQuestion); }))
        return "not idle";

    const auto resumable = [&] {
        return controller.IsPaused() && dialog.ButtonState(kPauseButtonId).enabled &&
               dialog.ButtonState(kPauseButtonId).text == texts::kResume;
    };
    if (command == CancelYes || command == CancelNo)
        dialog.Answer(texts::kCancelQuestion, command == CancelYes ? kIdYes : kIdNo);
    if (command == Restart) controller.OnRestart();
    if (command == CancelYes || command == CancelNo) controller.OnCancelDownload();
    if (command == Pause || command == Resume) controller.OnPauseResume();
    release.Set();
    if (command == Resume) {
        dialog.PumpUntil(resumable, std::chrono::seconds(3));
        controller.OnPauseResume();
    }
    const auto settled = [&] { return dialog.Ended().has_value() || UserCanAct(dialog); };
    if (!dialog.PumpUntil(settled, std::chrono::seconds(3))) return "no button works";
    dialog.PumpFor(milliseconds(350));
    if (!settled()) return "no button works later";
    if (command == CancelYes)
        return dialog.Ended() == DialogEnd::Cancel && dialog.Launches().empty() ? ""
                                                                                : "not cancelled";
    if (command == Pause && !resumable()) return "not paused";

    // The line and the server come back: Resume, or else Cancel, ends it.
    bench.connection.SetOnline(true);
    bench.ServeManifest(bench.Digest());
    if (!dialog.PumpUntil([&] { return dialog.Ended() || resumable(); }, std::chrono::seconds(3))) {
        if (!dialog.ButtonState(kCancelButtonId).enabled) return "no Cancel once the line is back";
        dialog.Answer(texts::kCancelQuestion, kIdYes);
        controller.OnCancelDownload();
    } else if (!dialog.Ended()) {
        controller.OnPauseResume();
    }
    if (!dialog.PumpUntilEnded(std::chrono::seconds(5))) return "stuck once the line is back";
    const bool launched = dialog.Ended() == DialogEnd::Close && dialog.Launches().size() == 1;
    const bool cancelled = dialog.Ended() == DialogEnd::Cancel && dialog.Launches().empty();
    // A first run whose workers all failed while the line was down ends so.
    const bool toldWhy = dialog.Ended() == DialogEnd::Close && dialog.Launches().empty() &&
                         dialog.SawBox(texts::kFailedForInternetError);
    return launched || cancelled || toldWhy ? "" : "ended without a word";
}

TEST(NoDeadEndTest, EveryCommandAtEveryMomentLeavesAWayOn) {
    const char* const states[] = {"connecting",
                                  "collecting",
                                  "downloading",
                                  "offline with workers",
                                  "offline between passes",
                                  "idle after a failed pass",
                                  "verifying",
                                  "launch timer pending"};
    const char* const commands[] = {"Pause", "Resume", "Restart", "Cancel Yes", "Cancel No"};
    std::string deadEnds;
    for (int state = Connecting; state <= LaunchPending; ++state)
        for (int command = Pause; command <= CancelNo; ++command) {
            const std::string fault = Walk(State(state), Command(command));
            if (!fault.empty())
                deadEnds +=
                    std::string(states[state]) + " x " + commands[command] + ": " + fault + "\n";
        }
    EXPECT_TRUE(deadEnds.empty()) << deadEnds;
}

// The five were found by reading; each needs its own moment.

// A resumed pass that cannot open the package starts no workers.
TEST(NoDeadEndTest, ResumeThatCannotOpenThePackageOffersCancelAndResumeAgain) {
    SessionBench bench(SessionBench::SlowWrites(25));
    bench.ServePackage(kSize);
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil(
        [&] { return bench.dialog.Status().rfind(texts::kProgressPrefix, 0) == 0; }));
    bench.controller->OnPauseResume();
    ASSERT_TRUE(
        bench.dialog.PumpUntil([&] { return bench.dialog.Status() == texts::kPausedStatus; }));
    std::filesystem::remove(bench.PackageFile());
    std::filesystem::create_directories(bench.PackageFile() + "/keep");
    bench.controller->OnPauseResume();
    ASSERT_TRUE(
        bench.dialog.PumpUntil([&] { return bench.dialog.ButtonState(kCancelButtonId).enabled; },
                               std::chrono::seconds(3)));
    bench.dialog.PumpFor(milliseconds(100));
    EXPECT_TRUE(bench.dialog.ButtonState(kPauseButtonId).enabled);
    EXPECT_EQ(bench.dialog.ButtonState(kPauseButtonId).text, texts::kResume);
}

// Both workers of a run fail as the line drops; it is back when the
// controller looks. The manifest's digest fits no file: the package fails
// its check twice and the program says so, whether it downloaded afresh or
// only ever resumed. Only the run's own facts choose its rows.
TEST(NoDeadEndTest, RunAfterFailedWorkersIsCheckedAndItsFailedCheckCounts) {
    for (const bool onlyResumed : {false, true}) {
        SCOPED_TRACE(onlyResumed ? "only resumed" : "fresh");
        SessionBench bench;
        const std::string digest(40, 'A');
        bench.ServePackage(kSize, {}, digest);
        ServeFaults failing;
        failing.status = 500;
        failing.delayMs = 200;
        bench.server.Serve(SessionBench::kPackagePath, bench.Package(), {},
                           {ServeFaults(), failing, failing});  // the size request first
        bench.MakeController().SetWaitObserver([&](const char* wait) {
            if (std::string(wait) == "retry") bench.connection.SetOnline(true);
        });
        if (onlyResumed) {
            ASSERT_TRUE(WriteWholeFile(bench.PackageFile(), std::string(kSize, '\0')));
            ASSERT_TRUE(WriteWholeFile(
                bench.StateFile(), FormatSegmentState(0, 0, kSize) + FormatGlobalState(0, digest)));
        }
        bench.Start();
        ASSERT_TRUE(bench.dialog.PumpUntil([&] { return bench.PackageGets().size() >= 1; }));
        bench.connection.SetOnline(false);
        ASSERT_TRUE(bench.dialog.PumpUntilEnded(std::chrono::seconds(5)));
        EXPECT_TRUE(bench.dialog.SawBox(texts::kDownloadFailed));
        EXPECT_TRUE(bench.dialog.Launches().empty());
    }
}

}  // namespace
}  // namespace zel
