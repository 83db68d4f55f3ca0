// The built program: the resources it carries, read back from its file, and
// the single-instance rule between real processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "sys/win32_handles.h"

namespace zel {
namespace {

using test::Await;
using test::CountProgramDialogs;
using test::ProgramPath;
using test::ProgramRun;

std::string ResourceBytes(HMODULE module, LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return std::string();
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const char*>(LockResource(loaded));
    return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
}

// --- A dialog template in its extended form, as the resource compiler wrote it ---

struct TemplateItem {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::string className;  // a predefined class by its name
    std::string text;
};

struct DialogTemplate {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    WORD pointSize = 0, weight = 0;
    std::string typeface;
    std::vector<TemplateItem> items;
};

class TemplateReader {
  public:
    explicit TemplateReader(const std::string& bytes) : bytes_(bytes) {}
    template <typename T>
    T Read() {
        T value{};
        if (at_ + sizeof(T) <= bytes_.size()) std::memcpy(&value, bytes_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    std::string String() {
        std::string text;
        for (WORD c = Read<WORD>(); c != 0 && at_ <= bytes_.size(); c = Read<WORD>())
            text += char(c);
        return text;
    }
    // A name or an ordinal; predefined control classes come as ordinals.
    std::string NameOrOrdinal() {
        const WORD first = Read<WORD>();
        if (first == 0) return std::string();
        if (first == 0xFFFF) {
            switch (Read<WORD>()) {
                case 0x0080:
                    return "button";
                case 0x0082:
                    return "static";
                default:
                    return "ordinal";
            }
        }
        at_ -= sizeof(WORD);
        return String();
    }
    void AlignTo4() { at_ = (at_ + 3) & ~std::size_t(3); }

  private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

DialogTemplate ParseExtendedTemplate(const std::string& bytes) {
    TemplateReader in(bytes);
    DialogTemplate dialog;
    if (in.Read<WORD>() != 1 || in.Read<WORD>() != 0xFFFF) return dialog;
    in.Read<DWORD>();  // help id
    dialog.exStyle = in.Read<DWORD>();
    dialog.style = in.Read<DWORD>();
    const WORD count = in.Read<WORD>();
    dialog.x = in.Read<short>();
    dialog.y = in.Read<short>();
    dialog.cx = in.Read<short>();
    dialog.cy = in.Read<short>();
    in.NameOrOrdinal();  // menu
    in.NameOrOrdinal();  // class
    dialog.caption = in.String();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.Read<WORD>();
        dialog.weight = in.Read<WORD>();
        in.Read<BYTE>();  // italic
        in.Read<BYTE>();  // character set
        dialog.typeface = in.String();
    }
    for (WORD i = 0; i < count; ++i) {
        in.AlignTo4();
        TemplateItem item;
        in.Read<DWORD>();  // help id
        in.Read<DWORD>();  // extended style
        item.style = in.Read<DWORD>();
        item.x = in.Read<short>();
        item.y = in.Read<short>();
        item.cx = in.Read<short>();
        item.cy = in.Read<short>();
        item.id = in.Read<DWORD>();
        // Class names compare without regard to case; the resource compiler
        // writes them in capitals.
        item.className = in.NameOrOrdinal();
        for (char& c : item.className) c = char(std::tolower(static_cast<unsigned char>(c)));
        item.text = in.NameOrOrdinal();
        const WORD extra = in.Read<WORD>();
        for (WORD b = 0; b < extra; ++b) in.Read<BYTE>();
        dialog.items.push_back(item);
    }
    return dialog;
}

std::string VersionString(const std::vector<char>& info, const std::string& name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = "\\StringFileInfo\\040904b0\\" + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        return std::string();
    return std::string(value);
}

class ProgramFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        module_.Reset(LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module_) << ProgramPath();
    }
    HMODULE Module() const { return module_.Get(); }

  private:
    ScopedModule module_;
};

TEST_F(ProgramFileTest, MainDialogTemplateIsTheProgramsWindow) {
    const DialogTemplate dialog =
        ParseExtendedTemplate(ResourceBytes(Module(), RT_DIALOG, MAKEINTRESOURCEA(102)));
    EXPECT_EQ(dialog.style, 0x90C800C0u);
    EXPECT_EQ(dialog.exStyle, 0x00040000u);
    EXPECT_EQ((std::vector<short>{dialog.x, dialog.y, dialog.cx, dialog.cy}),
              (std::vector<short>{0, 0, 335, 185}));
    EXPECT_EQ(dialog.caption, "Corvanta 3");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.typeface, "Tahoma");

    struct Expected {
        DWORD id;
        const char* className;
        const char* text;
        DWORD style;
        std::vector<short> rect;
    };
    const std::vector<Expected> expected = {
        {2, "button", "Cancel", 0x50010000, {227, 166, 50, 14}},
        {1000, "msctls_progress32", "", 0x50800000, {7, 147, 321, 14}},
        {1001, "static", "---", 0x50020000, {8, 169, 166, 8}},
        {1002, "button", "Pause", 0x50010000, {278, 166, 50, 14}},
        {1003, "button", "Restart", 0x48010000, {175, 166, 50, 14}},
    };
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TemplateItem& item = dialog.items[i];
        SCOPED_TRACE("item " + std::to_string(i));
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_EQ(item.className, expected[i].className);
        EXPECT_EQ(item.text, expected[i].text);
        EXPECT_EQ(item.style, expected[i].style);
        EXPECT_EQ((std::vector<short>{item.x, item.y, item.cx, item.cy}), expected[i].rect);
    }
}

TEST_F(ProgramFileTest, ManifestAsksForAdministratorCommonControls6AndNamesVistaAnd7) {
    const std::string manifest = ResourceBytes(Module(), MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_FALSE(manifest.empty());
    auto has = [&](const char* text) { return manifest.find(text) != std::string::npos; };
    EXPECT_TRUE(has("level=\"requireAdministrator\""));
    EXPECT_TRUE(has("{e2011457-1546-43c5-a5fe-008deee3d3f0}")) << "Windows Vista";
    EXPECT_TRUE(has("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}")) << "Windows 7";
    EXPECT_TRUE(has("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
    EXPECT_TRUE(has("publicKeyToken=\"6595b64144ccf1df\""));
}

TEST_F(ProgramFileTest, StringsAndVersionInformationNameTheProgram) {
    auto text = [&](UINT id) {
        char buffer[256] = {};
        LoadStringA(Module(), id, buffer, sizeof buffer);
        return std::string(buffer);
    };
    EXPECT_EQ(text(57344), "Corvanta 3");
    EXPECT_EQ(text(1203), "QUORVANE");
    EXPECT_EQ(text(1205), "QUORVANE");
    EXPECT_EQ(text(1197), "Error connecting to Internet.\n\n%1");

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(ProgramPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(ProgramPath().c_str(), 0, size, info.data()));
    EXPECT_EQ(VersionString(info, "ProductName"), "ZelDownloader");
    EXPECT_EQ(VersionString(info, "OriginalFilename"), "ZelDownloader.exe");
    EXPECT_EQ(VersionString(info, "InternalName"), "ZelDownloader");
}

// --- One copy at a time ----------------------------------------------------------

TEST(SingleInstanceTest, SecondCopyBringsTheFirstForwardAndEndsWithExitCode1) {
    ProgramRun first;
    HWND dialog = first.AwaitDialog();
    ASSERT_NE(dialog, nullptr);
    ShowWindowAsync(dialog, SW_MINIMIZE);
    ASSERT_TRUE(Await([&] { return IsIconic(dialog) != FALSE; }));

    ProgramRun second;
    DWORD exitCode = 0;
    ASSERT_TRUE(second.AwaitExit(&exitCode));
    EXPECT_EQ(exitCode, 1u);
    EXPECT_TRUE(Await([&] { return !IsIconic(dialog); })) << "the first copy is restored";
    EXPECT_TRUE(Await([&] { return GetForegroundWindow() == dialog; }));
    EXPECT_EQ(CountProgramDialogs(), 1) << "the second copy showed no window";

    EXPECT_TRUE(first.EndThroughCancel());
    EXPECT_EQ(CountProgramDialogs(), 0) << "no window is left behind";
}

// The first copy holds the mutex but has not published its window yet: the
// second finds its dialog by class and caption, asks it forward and ends.
TEST(SingleInstanceTest, SecondCopyAsksAStartingFirstCopyForwardThroughItsMessage) {
    ScopedKernelHandle mutex(
        CreateMutexA(nullptr, FALSE, "ZELDownloader_MUTEX_7E3A91C2-5B04-4d6f-9A1E-2C8D40F7B613"));
    ASSERT_TRUE(mutex);
    ScopedWindow starting(CreateWindowExA(0, "#32770", "Corvanta 3", WS_POPUP, 0, 0, 10, 10,
                                          nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(starting);
    const UINT bringToFront =
        RegisterWindowMessageA("It will bring ZEL Downloader in front if minimized");

    ProgramRun second;
    DWORD exitCode = 0;
    ASSERT_TRUE(second.AwaitExit(&exitCode));
    EXPECT_EQ(exitCode, 1u);
    MSG msg{};
    EXPECT_TRUE(Await([&] {
        return PeekMessageA(&msg, starting.Get(), bringToFront, bringToFront, PM_REMOVE) != FALSE;
    }));
    EXPECT_EQ(msg.wParam, 0u);
}

// The slot outlives a first copy while another process still maps the
// program: a handle left there must not keep a new copy from starting.
TEST(SingleInstanceTest, StaleMainWindowInTheSharedSlotDoesNotStopANewCopy) {
    ScopedModule image(LoadLibraryExA(ProgramPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(image);
    auto* base = reinterpret_cast<BYTE*>(image.Get());
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    volatile LONG* slot = nullptr;
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (std::memcmp(section->Name, ".shr", 5) == 0)
            slot = reinterpret_cast<volatile LONG*>(base + section->VirtualAddress);
    }
    ASSERT_NE(slot, nullptr);
    ASSERT_EQ(*slot, 0) << "no copy runs";

    HWND ended = nullptr;
    {
        ProgramRun first;
        ended = first.AwaitDialog();
        ASSERT_NE(ended, nullptr);
        EXPECT_TRUE(Await([&] { return *slot == HandleToLong(ended); })) << "published";
        EXPECT_TRUE(first.EndThroughCancel());
    }
    EXPECT_EQ(*slot, HandleToLong(ended)) << "never cleared";
    EXPECT_FALSE(IsWindow(ended));

    ProgramRun next;
    HWND dialog = next.AwaitDialog();
    EXPECT_NE(dialog, nullptr) << "a stale handle must not stop the new copy";
    EXPECT_TRUE(Await([&] { return *slot == HandleToLong(dialog); }));

    // A live window that is not the program's is no reason to give way either.
    ScopedWindow stranger(CreateWindowExA(0, "#32770", "Another program", WS_POPUP, 0, 0, 10, 10,
                                          nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(next.EndThroughCancel());
    *slot = HandleToLong(stranger.Get());
    ProgramRun third;
    EXPECT_NE(third.AwaitDialog(), nullptr);
    EXPECT_TRUE(third.EndThroughCancel());
}

}  // namespace
}  // namespace zel
