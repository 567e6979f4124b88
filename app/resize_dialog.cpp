#include "app/resize_dialog.h"

#include "app/dialog_helpers.h"
#include "resources/resource.h"

#include <string>

namespace {

// What the dialog showed last, for the next time it opens.
ResizeRequest LastRequest;

struct ResizeRun {
    LONG width;
    LONG height;
    ResizeParams* size;
};

constexpr struct {
    int radio;
    ResizeRule rule;
} kRules[] = {
    {IDC_RESIZE_BY_EDGE, ResizeRule::LongEdge},
    {IDC_RESIZE_BY_BOX, ResizeRule::Fit},
    {IDC_RESIZE_BY_PERCENT, ResizeRule::Percent},
};

// A whole number of pixels as typed; -1 when it is none or beyond kResizeSide.
std::int64_t PixelsOf(HWND dialog, int id)
{
    wchar_t text[16] = {};
    GetDlgItemTextW(dialog, id, text, 16);
    std::int64_t value = 0;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9' || value > kResizeSide.max)
            return -1;
        value = value * 10 + (*p - L'0');
    }
    return text[0] && value >= kResizeSide.min && value <= kResizeSide.max ? value : -1;
}

std::wstring PercentText(std::int64_t millionths)
{
    std::wstring text = std::to_wstring(millionths / 10000);
    if (const std::int64_t fraction = millionths % 10000) {
        std::wstring digits = std::to_wstring(fraction + 10000).substr(1);
        digits.erase(digits.find_last_not_of(L'0') + 1);
        text += L"." + digits;
    }
    return text;
}

// The request the dialog holds; false when a number it needs is not one.
bool ReadRequest(HWND dialog, ResizeRequest* request)
{
    for (const auto& r : kRules)
        if (IsDlgButtonChecked(dialog, r.radio) == BST_CHECKED)
            request->rule = r.rule;
    wchar_t percent[24] = {};
    GetDlgItemTextW(dialog, IDC_RESIZE_PERCENT, percent, 24);
    const std::int64_t values[] = {PixelsOf(dialog, IDC_RESIZE_EDGE), PixelsOf(dialog, IDC_RESIZE_BOX_WIDTH),
                                   PixelsOf(dialog, IDC_RESIZE_BOX_HEIGHT), PercentMillionthsOf(percent)};
    std::int64_t* fields[] = {&request->longEdge, &request->boxWidth, &request->boxHeight, &request->millionths};
    for (int i = 0; i < 4; ++i)
        if (values[i] >= 0)
            *fields[i] = values[i];
    switch (request->rule) {
    case ResizeRule::LongEdge:
        return values[0] >= 0;
    case ResizeRule::Fit:
        return values[1] >= 0 && values[2] >= 0;
    case ResizeRule::Percent:
        return values[3] >= 0;
    }
    return false;
}

std::string SizeText(LONG width, LONG height)
{
    return std::to_string(width) + " × " + std::to_string(height);
}

// Shows the size the request gives and lets OK through only for one.
void ShowResult(HWND dialog, const ResizeRun& run)
{
    ResizeRequest request = LastRequest;
    LONG width = 0;
    LONG height = 0;
    const bool ok = ReadRequest(dialog, &request) &&
                    ResizedSize(request, run.width, run.height, &width, &height) == Failure::None;
    SetControlText(dialog, IDC_RESIZE_RESULT, ok ? SizeText(width, height) : "-");
    EnableWindow(GetDlgItem(dialog, IDOK), ok);
}

void InitResizeDialog(HWND dialog, const ResizeRun& run)
{
    SetDlgItemTextW(dialog, IDC_RESIZE_EDGE, std::to_wstring(LastRequest.longEdge).c_str());
    SetDlgItemTextW(dialog, IDC_RESIZE_BOX_WIDTH, std::to_wstring(LastRequest.boxWidth).c_str());
    SetDlgItemTextW(dialog, IDC_RESIZE_BOX_HEIGHT, std::to_wstring(LastRequest.boxHeight).c_str());
    SetDlgItemTextW(dialog, IDC_RESIZE_PERCENT, PercentText(LastRequest.millionths).c_str());
    for (const auto& r : kRules)
        CheckDlgButton(dialog, r.radio, r.rule == LastRequest.rule ? BST_CHECKED : BST_UNCHECKED);
    SetControlText(dialog, IDC_RESIZE_NOW, SizeText(run.width, run.height));
    ShowResult(dialog, run);
    CentreWindow(dialog);
}

// The radio button of the rule an edit box belongs to.
int RadioOf(int edit)
{
    switch (edit) {
    case IDC_RESIZE_EDGE:
        return IDC_RESIZE_BY_EDGE;
    case IDC_RESIZE_BOX_WIDTH:
    case IDC_RESIZE_BOX_HEIGHT:
        return IDC_RESIZE_BY_BOX;
    case IDC_RESIZE_PERCENT:
        return IDC_RESIZE_BY_PERCENT;
    default:
        return 0;
    }
}

void OnResizeCommand(HWND dialog, const ResizeRun& run, int id, int code)
{
    if (id == IDOK) {
        ResizeRequest request = LastRequest;
        LONG width = 0;
        LONG height = 0;
        if (!ReadRequest(dialog, &request) ||
            ResizedSize(request, run.width, run.height, &width, &height) != Failure::None)
            return;
        LastRequest = request;
        *run.size = {width, height};
        EndDialog(dialog, IDOK);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
    } else if (code == EN_SETFOCUS && RadioOf(id)) {
        // Typing in a box chooses its rule.
        CheckRadioButton(dialog, IDC_RESIZE_BY_EDGE, IDC_RESIZE_BY_PERCENT, RadioOf(id));
        ShowResult(dialog, run);
    } else if (code == EN_CHANGE || code == BN_CLICKED) {
        ShowResult(dialog, run);
    }
}

}  // namespace

std::int64_t PercentMillionthsOf(const wchar_t* text)
{
    std::int64_t whole = 0;
    std::int64_t fraction = 0;
    int digits = 0;
    int decimals = -1;  // -1 before the point
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'.' && decimals < 0 && digits > 0) {
            decimals = 0;
            continue;
        }
        if (*p < L'0' || *p > L'9' || digits >= 9 || decimals >= 4)
            return -1;
        if (decimals < 0)
            whole = whole * 10 + (*p - L'0');
        else
            fraction = fraction * 10 + (*p - L'0'), ++decimals;
        ++digits;
    }
    for (int i = decimals < 0 ? 0 : decimals; i < 4; ++i)
        fraction *= 10;
    const std::int64_t millionths = whole * 10000 + fraction;
    return digits > 0 && millionths >= kResizeMillionths.min && millionths <= kResizeMillionths.max ? millionths : -1;
}

INT_PTR CALLBACK ResizeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        InitResizeDialog(dialog, *reinterpret_cast<const ResizeRun*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (const auto* run = reinterpret_cast<const ResizeRun*>(GetWindowLongPtrW(dialog, DWLP_USER)))
            OnResizeCommand(dialog, *run, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

bool AskResize(HWND window, LONG width, LONG height, ResizeParams* size)
{
    ResizeRun run{width, height, size};
    auto* instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    return DialogBoxParamA(instance, RES_DLG_RESIZE, window, ResizeDialogProc, reinterpret_cast<LPARAM>(&run)) ==
           IDOK;
}
