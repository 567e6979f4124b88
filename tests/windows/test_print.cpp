// Page setup defaults and the print command under Wine: the print dialog,
// the questions before a job, a real job to the test printer whose
// PostScript lands in a file, an aborted job, and the prefix without any
// printer.
#include "support/win_test_support.h"

#include "app/main_window.h"
#include "image/image_document.h"
#include "app/print.h"
#include "processing/placement.h"

#include <gtest/gtest.h>
#include <cderr.h>

#include <commdlg.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace wintest;

namespace {

void MakePicture(ImageDocument* doc, LONG width, LONG height)
{
    ReleaseDocument(doc);
    HGLOBAL block = GlobalAlloc(GHND, WorkDibBytes(width, height));
    ASSERT_NE(block, nullptr);
    BYTE* dib = (BYTE*)GlobalLock(block);
    WriteWorkDibHeader(dib, width, height);
    BYTE* p = dib + kWorkDibHeaderBytes;
    for (LONG i = 0; i < width * height; i++, p += 4) {
        p[0] = (BYTE)(i * 3);
        p[1] = (BYTE)(i * 5);
        p[2] = (BYTE)(i * 7);
    }
    doc->hDib = block;
    doc->dib = dib;
    doc->bmi = (BITMAPINFO*)dib;
    doc->width = width;
    doc->height = height;
    doc->isLoaded = 1;
    doc->bitsOffset = kWorkDibHeaderBytes;
}

// The abort dialog is modeless and lives only while a job runs.  This hook
// notes it and, when asked, presses its Cancel button at once (posted, so
// the abort procedure's message pump delivers it during the job).
struct AbortWatch {
    HHOOK hook = nullptr;
    bool cancel = false;
    int seen = 0;
    HWND dialog = nullptr;
};
AbortWatch* abortWatch = nullptr;

LRESULT CALLBACK AbortWatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (abortWatch && code == HCBT_ACTIVATE) {
        HWND hwnd = (HWND)wParam;
        if (ClassName(hwnd) == "#32770" && WindowTextUtf8(hwnd) == U8(u8"印刷中止")) {
            abortWatch->seen++;
            abortWatch->dialog = hwnd;
            if (abortWatch->cancel) PressButton(hwnd, IDCANCEL);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class ScopedAbortWatch {
public:
    explicit ScopedAbortWatch(bool cancel)
    {
        watch_.cancel = cancel;
        abortWatch = &watch_;
        watch_.hook = SetWindowsHookExA(WH_CBT, AbortWatchProc, nullptr, GetCurrentThreadId());
    }
    ~ScopedAbortWatch()
    {
        if (watch_.hook) UnhookWindowsHookEx(watch_.hook);
        abortWatch = nullptr;
    }
    const AbortWatch& operator*() const { return watch_; }
    const AbortWatch* operator->() const { return &watch_; }

private:
    AbortWatch watch_;
};

// The driver is told about the abort dialog (so that it does not cancel it
// as unexpected); whether it still exists when the driver looks depends on
// the job's speed, so that action may go unused.
std::string ProblemsBesidesAbortDialog(const DialogDriver& driver)
{
    std::string problems = driver.Problems();
    std::string unused = "no dialog came for the action on \"" + U8(u8"印刷中止") + "\"\n";
    size_t at = problems.find(unused);
    if (at != std::string::npos) problems.erase(at, unused.size());
    return problems;
}

const std::string kPrintTitle = U8(u8"印刷");
const std::string kCentreQuestion = U8(u8"印刷領域の中央に印刷しますか？");
const std::string kTooLargeQuestion = U8(u8"画像が印刷領域より大きいため、\n印刷できない部分がありますがよろしいですか？");

class PrintFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppInstance = GetModuleHandleA(nullptr);
        window = CreateOwnerWindow();
        ASSERT_NE(window, nullptr);
        doc = ImageDocument{};
        std::string path = dir.File("写真 印刷.bmp");
        std::strcpy(doc.path, path.c_str());
        DialogDriver quiet;
        LoadPrintDefaults(window);
        defaultsProblems = quiet.Problems();
        defaultsSeen = quiet.Seen().size();
    }
    void TearDown() override
    {
        ReleasePrintSettings();
        ReleaseDocument(&doc);
        if (window) DestroyWindow(window);
        PumpFor(10);
    }

    HWND window = nullptr;
    ImageDocument doc = {};
    TempDir dir;
    std::string defaultsProblems;
    size_t defaultsSeen = 0;
};

// The test printer's resolution and printable area, from its default DC.
struct PrinterFigures {
    double px = 0, py = 0, hres = 0, vres = 0;
};
PrinterFigures DefaultPrinterFigures()
{
    PrinterFigures f;
    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    if (!PrintDlgA(&pd)) return f;
    f.px = GetDeviceCaps(pd.hDC, LOGPIXELSX);
    f.py = GetDeviceCaps(pd.hDC, LOGPIXELSY);
    f.hres = GetDeviceCaps(pd.hDC, HORZRES);
    f.vres = GetDeviceCaps(pd.hDC, VERTRES);
    DeleteDC(pd.hDC);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
    return f;
}

// --- With the test printer ------------------------------------------------------

using PrintCommandTest = PrintFixture;

TEST_F(PrintCommandTest, DefaultsComeQuietlyFromTheDefaultPrinter)
{
    if (NoPrinterPrefix()) GTEST_SKIP() << "prefix without a printer";
    EXPECT_EQ(defaultsProblems, "");
    EXPECT_EQ(defaultsSeen, 0u);
    ASSERT_NE(PrintSettings.hDevNames, nullptr);
    EXPECT_NE(PageSetupSettings.hDevNames, nullptr);
    auto* names = (DEVNAMES*)GlobalLock(PrintSettings.hDevNames);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(WideToUtf8((const wchar_t*)names + names->wDeviceOffset), "Quillvane Test Printer");
    GlobalUnlock(PrintSettings.hDevNames);
}

TEST_F(PrintCommandTest, CancelledDialogGivesMinusOne)
{
    if (NoPrinterPrefix()) GTEST_SKIP() << "prefix without a printer";
    MakePicture(&doc, 64, 48);
    DialogDriver driver;
    driver.OnDialog(kPrintTitle, [](HWND d) { PressButton(d, IDCANCEL); });
    ScopedAbortWatch watch(false);
    EXPECT_EQ(PrintCommand(window, &doc), -1);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_TRUE(driver.MessageBoxes().empty());
    EXPECT_EQ(watch->seen, 0);
    EXPECT_TRUE(IsWindowEnabled(window));
}

TEST_F(PrintCommandTest, JobCarriesTheDocumentPathAsTitle)
{
    if (NoPrinterPrefix()) GTEST_SKIP() << "prefix without a printer";
    MakePicture(&doc, 64, 48);
    std::string output = dir.File("job.ps");
    PrinterCapture capture(output);
    ASSERT_TRUE(capture.Ok());

    DialogDriver driver;
    driver.OnDialog(kPrintTitle, [](HWND d) { PressButton(d, IDOK); });
    driver.AnswerMessageBox(IDYES);  // centred
    driver.OnDialog(U8(u8"印刷中止"), [](HWND) {});
    ScopedAbortWatch watch(false);
    EXPECT_EQ(PrintCommand(window, &doc), 0);
    EXPECT_EQ(ProblemsBesidesAbortDialog(driver), "");
    std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);  // a small picture: no warning
    EXPECT_EQ(boxes[0].caption, "Quivane");
    EXPECT_EQ(boxes[0].text, kCentreQuestion);
    EXPECT_EQ(watch->seen, 1);
    EXPECT_FALSE(IsWindow(watch->dialog));
    EXPECT_EQ(AbortDialog, nullptr);
    EXPECT_EQ(PrintAborted, 0);
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_NE(PrintSettings.hDC, nullptr);

    std::string postscript;
    ASSERT_TRUE(ReadWholeFile(output, postscript));
    EXPECT_EQ(postscript.rfind("%!PS-Adobe", 0), 0u);
    std::string title;
    ASSERT_TRUE(PostScriptTitle(postscript, title));
    EXPECT_EQ(AnsiToUtf8(title), std::string(doc.path));
    EXPECT_NE(postscript.find("%%Page: 1"), std::string::npos);
    EXPECT_EQ(postscript.find("%%Page: 2"), std::string::npos);
}

TEST_F(PrintCommandTest, OversizedPictureAsksFirst)
{
    if (NoPrinterPrefix()) GTEST_SKIP() << "prefix without a printer";
    PrinterFigures printer = DefaultPrinterFigures();
    ASSERT_GT(printer.hres, 0);
    HDC screen = GetDC(window);
    double sx = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(window, screen);
    // Wider than the printable area once scaled to the printer.
    LONG width = (LONG)(printer.hres * sx / printer.px) + 20;
    MakePicture(&doc, width, 10);
    std::string output = dir.File("wide.ps");
    PrinterCapture capture(output);
    ASSERT_TRUE(capture.Ok());

    {
        // No: nothing printed, no further question.
        DialogDriver driver;
        driver.OnDialog(kPrintTitle, [](HWND d) { PressButton(d, IDOK); });
        driver.AnswerMessageBox(IDNO);
        ScopedAbortWatch watch(false);
        EXPECT_EQ(PrintCommand(window, &doc), 0);
        EXPECT_EQ(driver.Problems(), "");
        std::vector<DialogRecord> boxes = driver.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Quivane");
        EXPECT_EQ(boxes[0].text, kTooLargeQuestion);
        EXPECT_EQ(watch->seen, 0);
        std::string postscript;
        EXPECT_FALSE(ReadWholeFile(output, postscript) && !postscript.empty());
    }
    {
        // Yes, then at the corner: printed.
        DialogDriver driver;
        driver.OnDialog(kPrintTitle, [](HWND d) { PressButton(d, IDOK); });
        driver.AnswerMessageBox(IDYES);
        driver.AnswerMessageBox(IDNO);
        driver.OnDialog(U8(u8"印刷中止"), [](HWND) {});
        ScopedAbortWatch watch(false);
        EXPECT_EQ(PrintCommand(window, &doc), 0);
        EXPECT_EQ(ProblemsBesidesAbortDialog(driver), "");
        std::vector<DialogRecord> boxes = driver.MessageBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, kTooLargeQuestion);
        EXPECT_EQ(boxes[1].text, kCentreQuestion);
        EXPECT_EQ(watch->seen, 1);
        std::string postscript, title;
        ASSERT_TRUE(ReadWholeFile(output, postscript));
        ASSERT_TRUE(PostScriptTitle(postscript, title));
        EXPECT_EQ(AnsiToUtf8(title), std::string(doc.path));
        EXPECT_NE(postscript.find("%%Page: 1"), std::string::npos);
    }
}

TEST_F(PrintCommandTest, AbortedJobThenNormalJob)
{
    if (NoPrinterPrefix()) GTEST_SKIP() << "prefix without a printer";
    MakePicture(&doc, 64, 48);
    std::string aborted = dir.File("aborted.ps");
    {
        PrinterCapture capture(aborted);
        ASSERT_TRUE(capture.Ok());
        DialogDriver driver;
        driver.OnDialog(kPrintTitle, [](HWND d) { PressButton(d, IDOK); });
        driver.AnswerMessageBox(IDYES);
        driver.OnDialog(U8(u8"印刷中止"), [](HWND) {});
        ScopedAbortWatch watch(true);
        EXPECT_EQ(PrintCommand(window, &doc), 0);
        EXPECT_EQ(ProblemsBesidesAbortDialog(driver), "");
        EXPECT_EQ(watch->seen, 1);
        EXPECT_EQ(PrintAborted, 1);
        EXPECT_EQ(AbortDialog, nullptr);
        EXPECT_FALSE(IsWindow(watch->dialog));
        EXPECT_TRUE(IsWindowEnabled(window));
        std::string postscript;
        bool written = ReadWholeFile(aborted, postscript);
        EXPECT_FALSE(written && postscript.find("%%Page: 1") != std::string::npos)
            << "the aborted job reached the printer";
    }
    std::string normal = dir.File("normal.ps");
    {
        PrinterCapture capture(normal);
        ASSERT_TRUE(capture.Ok());
        DialogDriver driver;
        driver.OnDialog(kPrintTitle, [](HWND d) { PressButton(d, IDOK); });
        driver.AnswerMessageBox(IDNO);
        driver.OnDialog(U8(u8"印刷中止"), [](HWND) {});
        ScopedAbortWatch watch(false);
        EXPECT_EQ(PrintCommand(window, &doc), 0);
        EXPECT_EQ(ProblemsBesidesAbortDialog(driver), "");
        EXPECT_EQ(PrintAborted, 0);
        EXPECT_EQ(AbortDialog, nullptr);
        EXPECT_TRUE(IsWindowEnabled(window));
        std::string postscript, title;
        ASSERT_TRUE(ReadWholeFile(normal, postscript));
        ASSERT_TRUE(PostScriptTitle(postscript, title));
        EXPECT_EQ(AnsiToUtf8(title), std::string(doc.path));
        EXPECT_NE(postscript.find("%%Page: 1"), std::string::npos);
    }
}

// The dialog procedure on its own: Cancel sets the flag and closes it.
TEST_F(PrintCommandTest, AbortDialogProcCancel)
{
    PrintAborted = 0;
    AbortDialog = CreateDialogParamW(AppInstance, L"印刷中止", window, AbortDialogProc, 0);
    ASSERT_NE(AbortDialog, nullptr);
    HWND dialog = AbortDialog;
    EXPECT_EQ(WindowTextUtf8(dialog), U8(u8"印刷中止"));
    ASSERT_NE(GetDlgItem(dialog, IDCANCEL), nullptr);
    EXPECT_FALSE(AbortDialogProc(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
    EXPECT_EQ(PrintAborted, 0);
    SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(PrintAborted, 1);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(AbortDialog, nullptr);
    // The abort procedure stops the job from now on.
    EXPECT_FALSE(PrintAbortProc(nullptr, 0));
    PrintAborted = 0;
    EXPECT_TRUE(PrintAbortProc(nullptr, 0));
}

// --- Without any printer --------------------------------------------------------

using PrintCommandNoPrinter = PrintFixture;

TEST_F(PrintCommandNoPrinter, DefaultsLoadWithoutAnyMessage)
{
    if (!NoPrinterPrefix()) GTEST_SKIP() << "needs the prefix without a printer";
    EXPECT_EQ(defaultsProblems, "");
    EXPECT_EQ(defaultsSeen, 0u);
    EXPECT_EQ(PrintSettings.hDevNames, nullptr);
    EXPECT_EQ(PrintSettings.hDC, nullptr);
}

// Wine's print dialog finds no printer, tells the user so in its own box
// and fails (PDERR_NODEFAULTPRN): the command ends there with -1, without a
// second message and without a job.
TEST_F(PrintCommandNoPrinter, PrintGivesMinusOneWithOneMessage)
{
    if (!NoPrinterPrefix()) GTEST_SKIP() << "needs the prefix without a printer";
    MakePicture(&doc, 64, 48);
    DialogDriver driver;
    driver.AnswerMessageBox(IDOK);
    ScopedAbortWatch watch(false);
    EXPECT_EQ(PrintCommand(window, &doc), -1);
    EXPECT_EQ(CommDlgExtendedError(), (DWORD)PDERR_NODEFAULTPRN);
    EXPECT_EQ(driver.Problems(), "");
    std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(U8(u8"プリンター")), std::string::npos) << boxes[0].text;
    EXPECT_EQ(watch->seen, 0);
    EXPECT_EQ(PrintSettings.hDevNames, nullptr);
    EXPECT_EQ(PrintSettings.hDC, nullptr);
    EXPECT_TRUE(IsWindowEnabled(window));

    // A second attempt behaves the same.
    DialogDriver again;
    again.AnswerMessageBox(IDOK);
    EXPECT_EQ(PrintCommand(window, &doc), -1);
    EXPECT_EQ(again.Problems(), "");
}

}  // namespace

// --- A default printer whose driver cannot be loaded -----------------------------

// Registers "Quillvane Broken Printer" for the test's duration, with a
// driver that no environment of the prefix has, and makes it the default
// printer; the previous default comes back afterwards.
class BrokenDefaultPrinter {
public:
    BrokenDefaultPrinter()
    {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPrinterKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return;
        SetString(key, "Name", kName);
        SetString(key, "Port", "QVBROKEN:");
        SetString(key, "Printer Driver", "Quillvane Missing Driver");
        SetString(key, "Print Processor", "winprint");
        SetString(key, "Datatype", "RAW");
        DWORD attributes = PRINTER_ATTRIBUTE_LOCAL;
        RegSetValueExA(key, "Attributes", 0, REG_DWORD, (const BYTE*)&attributes, sizeof attributes);
        RegCloseKey(key);
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kWindowsKey, 0, KEY_ALL_ACCESS, &key))
            return;
        char previous[512] = {};
        DWORD size = sizeof previous - 1, type = 0;
        hadDevice_ = RegQueryValueExA(key, "Device", nullptr, &type, (BYTE*)previous, &size) == ERROR_SUCCESS;
        previousDevice_ = previous;
        // Left behind by a run that crashed here: the prefix's own default
        // comes back.
        if (previousDevice_.rfind(kName, 0) == 0)
            previousDevice_ = "Quillvane Test Printer,WINEPS.DRV,QVFILE:";
        ok_ = SetString(key, "Device", std::string(kName) + ",WINEPS.DRV,QVBROKEN:");
        RegCloseKey(key);
    }
    ~BrokenDefaultPrinter()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kWindowsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            if (hadDevice_)
                SetString(key, "Device", previousDevice_);
            else
                RegDeleteValueA(key, "Device");
            RegCloseKey(key);
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPrinterKey);
    }
    bool Ok() const { return ok_; }

    static constexpr const char* kName = "Quillvane Broken Printer";

private:
    static bool SetString(HKEY key, const char* name, const std::string& value)
    {
        return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1) ==
               ERROR_SUCCESS;
    }
    static constexpr const char* kPrinterKey =
        "System\\CurrentControlSet\\Control\\Print\\Printers\\Quillvane Broken Printer";
    static constexpr const char* kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    bool ok_ = false;
    bool hadDevice_ = false;
    std::string previousDevice_;
};

using PrintCommandBrokenPrinter = PrintFixture;

// The page setup's defaults would read the broken printer's device mode
// (which is not there) and crash: the program starts quietly without
// printer settings, and the page setup command says there is no printer.
TEST_F(PrintCommandBrokenPrinter, StartsQuietlyAndPageSetupSaysNoPrinter)
{
    if (NoPrinterPrefix()) GTEST_SKIP() << "the printer prefix holds the broken printer beside the test printer";
    BrokenDefaultPrinter broken;
    ASSERT_TRUE(broken.Ok());
    char name[256] = {};
    DWORD size = sizeof name;
    ASSERT_TRUE(GetDefaultPrinterA(name, &size));
    ASSERT_STREQ(name, BrokenDefaultPrinter::kName);

    ReleasePrintSettings();
    {
        DialogDriver quiet;
        LoadPrintDefaults(window);
        EXPECT_EQ(quiet.Problems(), "");
        EXPECT_EQ(quiet.Seen().size(), 0u);
    }
    EXPECT_EQ(PrintSettings.hDevNames, nullptr);
    EXPECT_EQ(PageSetupSettings.hDevMode, nullptr);
    EXPECT_EQ(PageSetupSettings.hDevNames, nullptr);

    DialogDriver driver;
    driver.AnswerMessageBox(IDOK);
    PageSetupCommand(window);
    EXPECT_EQ(driver.Problems(), "");
    std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, U8(u8"プリンター確認"));
    EXPECT_EQ(boxes[0].text, U8(u8"登録プリンターがありません。"));
    EXPECT_EQ(PrintSettings.hDevNames, nullptr);
}
