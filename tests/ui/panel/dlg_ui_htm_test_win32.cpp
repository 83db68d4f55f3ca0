// shellapi.h and shlobj.h (DROPFILES) need windows.h first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "sys/manual_reset_event.h"
#include "ui/panel/dlg_ui_htm.h"
#include "ui/panel/html_engine_probe.h"
#include "ui/panel/page_capture.h"
#include "ui/panel/page_painter.h"

namespace zel {
namespace {

// Whether this system shows pages in its HTML engine: the panel's own probe,
// waited for at most waitMs (no answer in time counts as no engine). The
// answer is shared with the probe's thread, which may outlive the wait.
bool HtmlEngineAvailable(unsigned waitMs) {
    struct Answer {
        ManualResetEvent given;
        std::atomic<bool> engine{false};
    };
    auto answer = std::make_shared<Answer>();
    if (!ProbeHtmlEngine([answer](bool engine) {
            answer->engine = engine;
            answer->given.Set();
        }))
        return false;
    return answer->given.WaitFor(std::chrono::milliseconds(waitMs)) && answer->engine;
}

// A plain top-level window standing in for the download window. Hidden
// unless a test reads the screen: hiding a shown window costs Wine two
// seconds without a window manager.
class HostWindow {
  public:
    explicit HostWindow(bool visible = false) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZelPanelTestHost";
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassA(&windowClass);  // fails harmlessly when already registered
        window_.Reset(CreateWindowExA(0, "ZelPanelTestHost", "Corvanta 3 test",
                                      WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 641, 519,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    }
    HWND Get() const { return window_.Get(); }

  private:
    ScopedWindow window_;
};

// What the owner does with its panel.
void CreateAndPlace(CDlgUIHTM& panel, const HostWindow& host) {
    ASSERT_TRUE(panel.Create(host.Get()));
    MoveWindow(panel.Window(), 0, 0, 641, 422, TRUE);
    ShowWindow(panel.Window(), SW_SHOW);
    UpdateWindow(panel.Window());
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

TEST(DlgUiHtmTest, PanelIsABorderlessChildAndChoosesByProbingTheEngine) {
    HostWindow host;
    ASSERT_NE(host.Get(), nullptr);
    const GdiplusSession gdiplus;
    CDlgUIHTM panel(gdiplus);
    CreateAndPlace(panel, host);
    EXPECT_EQ(GetParent(panel.Window()), host.Get());
    const LONG_PTR style = GetWindowLongPtrA(panel.Window(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
    RECT client;
    GetClientRect(panel.Window(), &client);
    EXPECT_EQ(client.right, 641);
    EXPECT_EQ(client.bottom, 422);

    // The panel's own probe answers by a message; meanwhile it draws the page.
    EXPECT_NE(panel.Painter(), nullptr);
    const DWORD start = GetTickCount();
    while (!panel.EngineAnswered() && GetTickCount() - start < 30000) {
        PumpMessages();
        Sleep(5);
    }
    ASSERT_TRUE(panel.EngineAnswered());
    // Asked once the panel's probe has answered: two probes at once can
    // hang each other under Wine.
    const bool engine = HtmlEngineAvailable(PanelTimings().engineProbeWaitMs);
    EXPECT_EQ(panel.HasBrowser(), engine);
    EXPECT_EQ(panel.Painter() != nullptr, !engine);
    // The rotation timer runs from creation on.
    EXPECT_NE(KillTimer(panel.Window(), CDlgUIHTM::kRotationTimer), 0);
}

// The panel sits inside the main dialog: a default button's command or
// Escape reaching it must not end or hide it, with or without an engine.
TEST(DlgUiHtmTest, OkAndCancelCommandsLeaveThePanelShown) {
    HostWindow host;
    const GdiplusSession gdiplus;
    CDlgUIHTM panel(gdiplus);
    CreateAndPlace(panel, host);
    SendMessageA(panel.Window(), WM_COMMAND, IDOK, 0);
    SendMessageA(panel.Window(), WM_COMMAND, IDCANCEL, 0);
    PumpMessages();
    ASSERT_TRUE(IsWindow(panel.Window()));
    EXPECT_TRUE(GetWindowLongPtrA(panel.Window(), GWL_STYLE) & WS_VISIBLE);
}

// Without an HTML engine, as under Wine here: the page drawn by the panel.
class DlgUiHtmFallbackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (HtmlEngineAvailable(PanelTimings().engineProbeWaitMs)) {
            GTEST_SKIP() << "this system shows the page in its HTML engine";
        }
    }
};

TEST_F(DlgUiHtmFallbackTest, PanelShowsHomeThenRecoverSmartAndHomeOnTimerSteps) {
    HostWindow host;
    const GdiplusSession gdiplus;
    CDlgUIHTM panel(gdiplus);
    CreateAndPlace(panel, host);
    ASSERT_NE(panel.Painter(), nullptr);
    EXPECT_EQ(panel.PaintedSection(), "Home");

    PageCapture home;
    SendMessageA(panel.Window(), WM_PRINTCLIENT, WPARAM(home.Dc()), PRF_CLIENT);
    home.SavePng("panel-initial-Home");
    EXPECT_GT(home.CountInked(270, kHeaderHeight, kPageWidth, kPageHeight), 1500);

    SendMessageA(panel.Window(), WM_TIMER, 7, 0);  // not the rotation's timer
    EXPECT_EQ(panel.CurrentSection(), "Protect");
    const char* expected[] = {"Recover", "Smart", "Home"};
    PageCapture previous;
    SendMessageA(panel.Window(), WM_PRINTCLIENT, WPARAM(previous.Dc()), PRF_CLIENT);
    for (const char* section : expected) {
        SendMessageA(panel.Window(), WM_TIMER, CDlgUIHTM::kRotationTimer, 0);
        EXPECT_EQ(panel.CurrentSection(), section);
        EXPECT_EQ(panel.PaintedSection(), section);
        PageCapture shown;
        SendMessageA(panel.Window(), WM_PRINTCLIENT, WPARAM(shown.Dc()), PRF_CLIENT);
        shown.SavePng(std::string("panel-step-") + section);
        EXPECT_GT(shown.MeanDifference(previous, 0, kHeaderHeight, kPageWidth, kPageHeight), 5.0)
            << section;
        SendMessageA(panel.Window(), WM_PRINTCLIENT, WPARAM(previous.Dc()), PRF_CLIENT);
    }
    // No script calls are made without the engine.
    EXPECT_EQ(panel.PageScript().LastError(), "");
}

TEST_F(DlgUiHtmFallbackTest, RotationTimerMovesThePaintedPageOnItsOwn) {
    PanelTimings quick;
    quick.rotationMs = 20;
    HostWindow host;
    const GdiplusSession gdiplus;
    CDlgUIHTM panel(gdiplus, quick);
    CreateAndPlace(panel, host);
    // One message at a time, so that the first step is seen; bounded by the
    // test's own patience, not by the timer's pace.
    MSG message;
    for (int round = 0; round < 2000 && panel.PaintedSection() == "Home"; ++round) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        } else {
            Sleep(5);
        }
    }
    EXPECT_EQ(panel.PaintedSection(), "Recover");
}

TEST_F(DlgUiHtmFallbackTest, WindowPaintCoversTheWholePanel) {
    HostWindow host(true);
    const GdiplusSession gdiplus;
    CDlgUIHTM panel(gdiplus);
    CreateAndPlace(panel, host);
    PumpMessages();
    // What the window itself shows on the screen.
    PageCapture onScreen;
    HDC windowDc = GetDC(panel.Window());
    ASSERT_NE(windowDc, nullptr);
    RedrawWindow(panel.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    BitBlt(onScreen.Dc(), 0, 0, kPageWidth, kPageHeight, windowDc, 0, 0, SRCCOPY);
    ReleaseDC(panel.Window(), windowDc);
    onScreen.SavePng("panel-window");
    PageCapture drawn;
    ASSERT_TRUE(panel.Painter()->Paint(drawn.Dc(), "Home"));
    EXPECT_LT(onScreen.MeanDifference(drawn, 0, 0, kPageWidth, kPageHeight), 1.0);
}

TEST_F(DlgUiHtmFallbackTest, DroppedFilesAreIgnoredAndDropsRefused) {
    HostWindow host;
    const GdiplusSession gdiplus;
    CDlgUIHTM panel(gdiplus);
    CreateAndPlace(panel, host);
    DragAcceptFiles(panel.Window(), TRUE);
    // What the shell hands over for one dropped file.
    const char file[] = "C:\\dropped.txt\0";
    HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + sizeof(file));
    ASSERT_NE(drop, nullptr);
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), file, sizeof(file));
    GlobalUnlock(drop);

    SendMessageA(panel.Window(), WM_DROPFILES, WPARAM(drop), 0);
    EXPECT_EQ(GlobalSize(drop), 0u);  // given back to the system
    EXPECT_EQ(GetWindowLongPtrA(panel.Window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    EXPECT_EQ(panel.PaintedSection(), "Home");
}

// The panel as its browser would drive it.
class BrowserDrivenPanel : public CDlgUIHTM {
  public:
    explicit BrowserDrivenPanel(const GdiplusSession& gdiplus) : CDlgUIHTM(gdiplus) {}
    using CDlgUIHTM::OnDocumentComplete;
};

TEST_F(DlgUiHtmFallbackTest, DocumentCompleteWithoutADocumentIsRecorded) {
    HostWindow host;
    const GdiplusSession gdiplus;
    BrowserDrivenPanel panel(gdiplus);
    CreateAndPlace(panel, host);
    panel.OnDocumentComplete();
    EXPECT_EQ(panel.PageScript().LastError(), "Script call error:\nNULL pointer");
    EXPECT_FALSE(panel.PageScript().HasDocument());
}

TEST_F(DlgUiHtmFallbackTest, KeyFilterNeutralisesRefreshAndEscape) {
    HostWindow host;
    const GdiplusSession gdiplus;
    CDlgUIHTM panel(gdiplus);
    CreateAndPlace(panel, host);
    MSG refresh = {panel.Window(), WM_KEYDOWN, VK_F5, 0, 0, {}};
    EXPECT_FALSE(panel.PreTranslateMessage(&refresh));
    EXPECT_EQ(refresh.wParam, 0u);
    MSG escape = {panel.Window(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_FALSE(panel.PreTranslateMessage(&escape));
    EXPECT_EQ(escape.wParam, 0u);
    MSG altF4 = {panel.Window(), WM_SYSKEYDOWN, VK_F4, 0, 0, {}};
    EXPECT_FALSE(panel.PreTranslateMessage(&altF4));
    EXPECT_EQ(altF4.wParam, 0u);
    // Messages for other windows go to their own dialog manager.
    MSG other = {host.Get(), WM_MOUSEMOVE, 0, 0, 0, {}};
    EXPECT_FALSE(panel.PreTranslateMessage(&other));
}

// True when COM (and so OLE) is initialised on the calling thread.
bool ComInitialisedHere() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr == S_FALSE;
}

// A document as the page script caller holds it, counting its references;
// when the last goes it notes whether OLE was still up on that thread.
class StandInDocument : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--references == 0) oleUpAtLastRelease = ComInitialisedHere();
        return references;
    }
    // Only its IUnknown part is ever called here: the page's rotation
    // never ticks in this test.
    IHTMLDocument2* AsDocument() { return reinterpret_cast<IHTMLDocument2*>(this); }

    ULONG references = 1;  // the test's own
    bool oleUpAtLastRelease = false;
};

TEST(DlgUiHtmTest, PageDocumentIsReleasedBeforeThePanelShutsOleDown) {
    StandInDocument document;
    bool oleUpWhileShown = false;
    bool oleDownAfterwards = false;
    // A thread of its own: the panel's OLE start is then its only one.
    std::thread([&] {
        {
            HostWindow host;
            PanelTimings slow;
            slow.rotationMs = 600000;
            const GdiplusSession gdiplus;
            CDlgUIHTM panel(gdiplus, slow);
            ASSERT_TRUE(panel.Create(host.Get()));
            panel.TakeDocument(document.AsDocument());
            EXPECT_EQ(document.references, 2u);
            document.Release();  // the test lets go of its own
            oleUpWhileShown = ComInitialisedHere();
        }
        oleDownAfterwards = !ComInitialisedHere();
    }).join();

    EXPECT_TRUE(oleUpWhileShown) << "the panel starts OLE for its page";
    EXPECT_EQ(document.references, 0u) << "the panel let go of the page";
    EXPECT_TRUE(document.oleUpAtLastRelease) << "released before OLE was shut down";
    EXPECT_TRUE(oleDownAfterwards) << "and OLE was shut down with the panel";
}

}  // namespace
}  // namespace zel
