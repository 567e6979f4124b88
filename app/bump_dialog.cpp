#include "app/bump_dialog.h"

#include "app/dialog_helpers.h"
#include "app/file_settings.h"
#include "app/gdi_guards.h"
#include "app/offset_bars.h"
#include "app/open_save.h"
#include "app/preview.h"
#include "app/settings.h"
#include "app/wait_cursor.h"
#include "files/picture_io.h"
#include "image/blocks.h"
#include "image/image_document.h"
#include "app/messages.h"
#include "platform/file_names.h"
#include "platform/utf16.h"
#include "processing/bump.h"
#include "processing/transparency.h"
#include "resources/resource.h"

#include <commdlg.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Dragging = 0;

// The light circle's square, in dialog units.
constexpr RECT kLightPaneUnits = {25, 20, 115, 120};

// The light circle where the dialog shows it, and where a 96-dpi screen
// shows it.  Points of the light are kept in the circle's 96-dpi units: a
// point means the same light at any resolution, though the dialog (laid
// out with its font) grows by another factor than the screen's.
struct LightCircle {
    RECT pane;    // client pixels
    RECT pane96;  // client pixels of a 96-dpi screen
};

LightCircle LightCircleOf(HWND dialog)
{
    RECT pane = kLightPaneUnits;
    MapDialogRect(dialog, &pane);
    return {pane, MapDialogRectAt96(dialog, kLightPaneUnits)};
}

// A square's centre and half sizes, as the light is measured from them.
struct Axes {
    LONG cx, cy, rx, ry;
};

Axes AxesOf(const RECT& pane)
{
    const LONG rx = (pane.right - pane.left) / 2;
    const LONG ry = (pane.bottom - pane.top) / 2;
    return {pane.left + rx, pane.top + ry, rx, ry};
}

// A point from one square to the other, centre to centre: the centre of
// the circle is the light from the front on every screen.
POINT MapBetween(const RECT& from, const RECT& to, POINT p)
{
    const Axes a = AxesOf(from);
    const Axes b = AxesOf(to);
    return {b.cx + MulDiv(p.x - a.cx, b.rx, a.rx), b.cy + MulDiv(p.y - a.cy, b.ry, a.ry)};
}

bool WatermarkFits()
{
    return WatermarkDocument.width <= MainDocument.width && WatermarkDocument.height <= MainDocument.height;
}

bool Checked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void ShowBar(HWND dialog, int id, bool shown)
{
    HWND bar = GetDlgItem(dialog, id);
    EnableWindow(bar, shown ? TRUE : FALSE);
    ShowWindow(bar, shown ? SW_SHOW : SW_HIDE);
}

void SetOffsetBar(HWND dialog, int barId, int textId, int maximum, int position)
{
    SetScrollRange(GetDlgItem(dialog, barId), SB_CTL, 0, maximum, TRUE);
    SetScrollPos(GetDlgItem(dialog, barId), SB_CTL, position, TRUE);
    ShowNumber(dialog, textId, position);
}

WatermarkLayout& Layout()
{
    return Remembered.bump.layout;
}

void ResetOffsets()
{
    Layout().offsetX = 0;
    Layout().offsetY = 0;
}

// Reads the three placement boxes.
void ReadPlacementBoxes(HWND dialog)
{
    Layout().keepAspect = Checked(dialog, IDC_BUMP_KEEPASPECT);
    Layout().dontEnlarge = Checked(dialog, IDC_BUMP_DONTENLARGE);
    Layout().repeatTile = Checked(dialog, IDC_BUMP_REPEAT);
}

void DrawLightPane(HDC dc, const RECT& pane)
{
    SelectObjectGuard brush(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, pane.left, pane.top, pane.right, pane.bottom);
    const int midY = (pane.top + pane.bottom) / 2;
    const int midX = (pane.left + pane.right) / 2;
    const int beyond = ScaledFrom96(10);
    MoveToEx(dc, pane.left - beyond, midY, nullptr);
    LineTo(dc, pane.right + beyond, midY);
    MoveToEx(dc, midX, pane.top - beyond, nullptr);
    LineTo(dc, midX, pane.bottom + beyond);
}

// Drawn twice at one place, the marker leaves the screen as it was.
void DrawLightMarker(HDC dc, const LightCircle& circle)
{
    Rop2Guard xorMode(dc, R2_XORPEN);
    const POINT m = MapBetween(circle.pane96, circle.pane, Remembered.lightMarker);
    const int r = ScaledFrom96(4);
    Ellipse(dc, m.x - r, m.y - r, m.x + r, m.y + r);
}

// The strength, amplification and ambient bars.
struct Slider {
    int barId;
    int textId;
    int BumpParams::*value;
    ParamRange range;
};

constexpr Slider kSliders[] = {
    {IDC_BUMP_STRENGTH, IDC_BUMP_STRENGTH_TEXT, &BumpParams::strength, kBumpStrength},
    {IDC_BUMP_AMPLIFY, IDC_BUMP_AMPLIFY_TEXT, &BumpParams::amplification, kBumpAmplification},
    {IDC_BUMP_AMBIENT, IDC_BUMP_AMBIENT_TEXT, &BumpParams::ambient, kBumpAmbient},
};

void EnablePlacementChecks(HWND dialog, bool enabled)
{
    EnableWindow(GetDlgItem(dialog, IDC_BUMP_DONTENLARGE), enabled ? TRUE : FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_BUMP_REPEAT), enabled ? TRUE : FALSE);
}

void UpdateKeepAspectEnabled(HWND dialog)
{
    const bool free = !Checked(dialog, IDC_BUMP_DONTENLARGE) && !Checked(dialog, IDC_BUMP_REPEAT);
    EnableWindow(GetDlgItem(dialog, IDC_BUMP_KEEPASPECT), free ? TRUE : FALSE);
}

}  // namespace

int InitWatermark(HWND dialog, ImageDocument* watermark, const ImageDocument* image)
{
    ReleaseDocument(watermark);
    *watermark = ImageDocument{};
    const std::size_t bytes = WorkDibBytes(image->width, image->height);
    if (!image->dib)
        return -1;
    HGLOBAL block = AllocateBlock(bytes);
    if (!block) {
        ReportError(dialog, Text::OutOfMemory);
        return -1;
    }
    *watermark = *image;
    watermark->hDib = block;
    watermark->dib = static_cast<BYTE*>(GlobalLock(block));
    std::memcpy(watermark->dib, image->dib, bytes);
    // The copy's own header: the record must not share the picture's.
    watermark->bmi = reinterpret_cast<BITMAPINFO*>(watermark->dib);

    const bool placeable = WatermarkFits() && (Layout().dontEnlarge || Layout().repeatTile);
    EnableScrollBar(GetDlgItem(dialog, IDC_BUMP_OFFSETX), SB_CTL, placeable ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    EnableScrollBar(GetDlgItem(dialog, IDC_BUMP_OFFSETY), SB_CTL, placeable ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    EnablePlacementChecks(dialog, placeable);
    ResetOffsets();
    return 0;
}

void LightFromPoint(HWND dialog, POINT point)
{
    const Axes axes = AxesOf(LightCircleOf(dialog).pane96);
    const double ux = static_cast<double>(point.x - axes.cx) / axes.rx;
    const double uy = static_cast<double>(axes.cy - point.y) / axes.ry;
    const double rho = std::sqrt(ux * ux + uy * uy);
    // Beyond the circle the light lies in the picture plane.
    const double z = std::sin(std::acos(rho < 1 ? rho : 1.0));
    const double length = std::sqrt(z * z + rho * rho);
    BumpParams& bump = Remembered.bump;
    bump.lightX = ux / length;
    bump.lightY = uy / length;
    bump.lightZ = z / length;
    const double values[3] = {bump.lightX, bump.lightY, bump.lightZ};
    const int ids[3] = {IDC_BUMP_LIGHTX_TEXT, IDC_BUMP_LIGHTY_TEXT, IDC_BUMP_LIGHTZ_TEXT};
    for (int i = 0; i < 3; ++i) {
        char text[10];
        std::snprintf(text, sizeof text, "%8.4lf", values[i]);
        SetControlText(dialog, ids[i], text);
    }
}

void RenderBumpPreview(HWND dialog, ImageDocument* watermark, const ImageDocument* image)
{
    ReadPlacementBoxes(dialog);
    if (watermark->width <= 0 || watermark->height <= 0)
        return;
    // The position bars follow the placement whether or not the preview
    // can be drawn: its size is the preview rectangle's.
    const LONG pw = PreviewRect.right - PreviewRect.left;
    const LONG ph = PreviewRect.bottom - PreviewRect.top;
    const BumpPlacement p =
        PlaceWatermarkInPreview(Layout(), image->width, image->height, watermark->width, watermark->height, pw, ph);
    const OffsetBars bars = OffsetBarsShown(p, pw, ph);
    switch (p.placementCase) {
    case BumpCase::NoEnlarge:
    case BumpCase::Stretch: {
        // At its own size both bars get their ranges and texts, a hidden
        // one too; stretched, only the bars that are shown.
        const bool both = p.placementCase == BumpCase::NoEnlarge;
        if (both || bars.x)
            SetOffsetBar(dialog, IDC_BUMP_OFFSETX, IDC_BUMP_OFFSETX_TEXT, p.offsetMaxX, Layout().offsetX);
        if (both || bars.y)
            SetOffsetBar(dialog, IDC_BUMP_OFFSETY, IDC_BUMP_OFFSETY_TEXT, p.offsetMaxY, Layout().offsetY);
        ShowBar(dialog, IDC_BUMP_OFFSETX, bars.x);
        ShowBar(dialog, IDC_BUMP_OFFSETY, bars.y);
        break;
    }
    case BumpCase::Tile:
        ShowBar(dialog, IDC_BUMP_OFFSETX, false);
        ShowBar(dialog, IDC_BUMP_OFFSETY, false);
        break;
    }

    PreviewCopy copy;
    if (!copy.dib() || !watermark->dib)
        return;
    if (RenderBumpPixels(Remembered.bump, copy.dib(), copy.width(), copy.height(), image->width, image->height,
                         watermark) != Failure::None)
        return;
    DrawPreview(dialog, copy);
}

namespace {

void Render(HWND dialog)
{
    RenderBumpPreview(dialog, &WatermarkDocument, &MainDocument);
}

void OnBumpInit(HWND dialog)
{
    CentreWindow(dialog);
    if (InitWatermark(dialog, &WatermarkDocument, &MainDocument) != 0) {
        // Without a watermark there is nothing to show or apply.
        EndDialog(dialog, IDCANCEL);
        return;
    }
    LightFromPoint(dialog, Remembered.lightMarker);
    for (const Slider& s : kSliders)
        InitScrollTriple(dialog, s.barId, s.textId, 0, &(Remembered.bump.*s.value), s.range.min, s.range.max);
    CreatePreviewImage(dialog, &MainDocument);
}

void OnBumpPaint(HWND dialog)
{
    PaintDC paint(dialog);
    const LightCircle circle = LightCircleOf(dialog);
    DrawLightPane(paint.get(), circle.pane);
    Render(dialog);
    // On the paint's own DC the marker is drawn only where the paint
    // erased it: a repaint of part of it leaves the rest alone.
    DrawLightMarker(paint.get(), circle);
}

void OnLightPoint(HWND dialog, LPARAM lParam)
{
    const POINT point = {LOWORD(lParam), HIWORD(lParam)};
    const LightCircle circle = LightCircleOf(dialog);
    const RECT& pane = circle.pane;
    GdiObject<HRGN> inside(CreateEllipticRgn(pane.left + 1, pane.top + 1, pane.right - 1, pane.bottom - 1));
    if (!PtInRegion(inside.get(), point.x, point.y))
        return;
    const POINT point96 = MapBetween(circle.pane, circle.pane96, point);
    LightFromPoint(dialog, point96);
    {
        WindowDC dc(dialog);
        DrawLightMarker(dc.get(), circle);
        Remembered.lightMarker = point96;
        DrawLightMarker(dc.get(), circle);
    }
    Render(dialog);
}

void OnBumpScroll(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND bar = reinterpret_cast<HWND>(lParam);
    const int id = GetDlgCtrlID(bar);
    int minimum = 0;
    int maximum = 0;
    const Slider* slider = nullptr;
    for (const Slider& s : kSliders)
        if (s.barId == id)
            slider = &s;
    if (slider) {
        ScrollTriple(dialog, id, slider->textId, 0, wParam, &(Remembered.bump.*slider->value), slider->range.min,
                     slider->range.max);
    } else if (id == IDC_BUMP_OFFSETX) {
        GetScrollRange(bar, SB_CTL, &minimum, &maximum);
        ScrollTriple(dialog, id, IDC_BUMP_OFFSETX_TEXT, 0, wParam, &Layout().offsetX, minimum, maximum);
    } else if (id == IDC_BUMP_OFFSETY) {
        if (message != WM_VSCROLL)
            return;
        GetScrollRange(bar, SB_CTL, &minimum, &maximum);
        ScrollTriple(dialog, id, IDC_BUMP_OFFSETY_TEXT, 0, wParam, &Layout().offsetY, minimum, maximum);
    } else {
        return;
    }
    Render(dialog);
}

// The open dialog's list of watermark types, wide, with its NULs.
std::wstring WatermarkFileTypes()
{
    std::wstring types = WideFromUtf8(ProgramText(Text::WatermarkFileTypes));
    for (wchar_t& c : types)
        if (c == L'|')
            c = L'\0';
    return types;
}

// The reader a watermark file calls for: PNG and WebP by their first bytes
// or names (SniffPictureType), otherwise JPEG for FF D8 FF and the bitmap
// reader for anything else, as for every picture the program opens.
int WatermarkTypeOf(const char* path)
{
    const int sniffed = SniffPictureType(path);
    if (sniffed == kTypePng || sniffed == kTypeWebp)
        return sniffed;
    unsigned char head[3] = {};
    std::size_t got = 0;
    if (std::FILE* file = OpenFileUtf8(path, "rb")) {
        got = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    return got == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF ? kTypeJpeg : kTypeBmp;
}

// Reads the watermark file name (UTF-8) into doc as quillvane-cli reads
// bump --watermark: HeightBytes from the luminance, then a transparent
// logo's alpha as its heights.  A failure is reported and keeps doc.
void ReadWatermarkFile(HWND dialog, ImageDocument* doc, const std::string& name)
{
    if (!PathFits(name)) {
        ShowOutcome(dialog, Fail(Failure::OpenFailed));
        return;
    }
    char previous[sizeof doc->path];
    std::memcpy(previous, doc->path, sizeof previous);
    std::memcpy(doc->path, name.c_str(), name.size() + 1);
    const int type = WatermarkTypeOf(doc->path);
    std::vector<std::uint8_t> alpha;
    Outcome outcome;
    {
        WaitCursor wait;
        outcome = ReadPictureFile(doc, type, &alpha);
    }
    ShowOutcome(dialog, outcome);
    if (!outcome.ok()) {
        std::memcpy(doc->path, previous, sizeof previous);
        return;
    }
    // The main window's save dialog knows BMP and JPEG only.
    if (type == kTypeBmp || type == kTypeJpeg)
        FileTypeIndex = type;
    doc->isModified = 0;
    doc->bitsOffset = kWorkDibHeaderBytes;
    ComputeLuminance(doc);
    UseAlphaAsHeights(doc, alpha);
}

}  // namespace

int ChooseWatermarkFile(HWND dialog, ImageDocument* doc)
{
    std::wstring name = WideFromUtf8(doc->path);
    constexpr std::size_t kNameChars = 4096;
    if (name.size() >= kNameChars)
        name.clear();
    name.resize(kNameChars, L'\0');
    const std::wstring types = WatermarkFileTypes();
    const std::wstring title = WideFromUtf8(ProgramText(Text::WatermarkOpenTitle));
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = types.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(FileTypeIndex);
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = L"bmp";
    ofn.lpfnHook = OpenDialogHook;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn))
        return -1;
    // The entry shown stays remembered when the read fails.
    if (ofn.nFilterIndex == 1 || ofn.nFilterIndex == 2)
        FileTypeIndex = static_cast<int>(ofn.nFilterIndex);
    ReadWatermarkFile(dialog, doc, Utf8FromWide(name.c_str()));
    return 0;
}

namespace {

void OnChooseWatermark(HWND dialog)
{
    WatermarkDocument.isModified = 0;
    if (ChooseWatermarkFile(dialog, &WatermarkDocument) == 0) {
        if (WatermarkFits()) {
            EnablePlacementChecks(dialog, true);
        } else {
            CheckDlgButton(dialog, IDC_BUMP_REPEAT, BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_BUMP_DONTENLARGE, BST_UNCHECKED);
            EnableWindow(GetDlgItem(dialog, IDC_BUMP_KEEPASPECT), TRUE);
            EnablePlacementChecks(dialog, false);
        }
        ResetOffsets();
    }
    Render(dialog);
}

void OnKeepAspect(HWND dialog)
{
    ReadPlacementBoxes(dialog);
    if (!Layout().dontEnlarge && !Layout().repeatTile)
        ResetOffsets();
    Render(dialog);
}

void OnDontEnlarge(HWND dialog)
{
    Layout().dontEnlarge = Checked(dialog, IDC_BUMP_DONTENLARGE);
    if (WatermarkFits() && Layout().dontEnlarge) {
        ShowBar(dialog, IDC_BUMP_OFFSETX, WatermarkDocument.width != MainDocument.width);
        ShowBar(dialog, IDC_BUMP_OFFSETY, WatermarkDocument.height != MainDocument.height);
    } else {
        ShowBar(dialog, IDC_BUMP_OFFSETX, false);
        ShowBar(dialog, IDC_BUMP_OFFSETY, false);
        ResetOffsets();
    }
    if (Layout().dontEnlarge && Checked(dialog, IDC_BUMP_REPEAT))
        CheckDlgButton(dialog, IDC_BUMP_REPEAT, BST_UNCHECKED);
    UpdateKeepAspectEnabled(dialog);
    Render(dialog);
}

void OnRepeat(HWND dialog)
{
    Layout().repeatTile = Checked(dialog, IDC_BUMP_REPEAT);
    if (WatermarkFits() && Layout().repeatTile) {
        ShowBar(dialog, IDC_BUMP_OFFSETX, false);
        ShowBar(dialog, IDC_BUMP_OFFSETY, false);
        ResetOffsets();
    }
    if (Layout().repeatTile && Checked(dialog, IDC_BUMP_DONTENLARGE))
        CheckDlgButton(dialog, IDC_BUMP_DONTENLARGE, BST_UNCHECKED);
    UpdateKeepAspectEnabled(dialog);
    Render(dialog);
}

void EndBumpDialog(HWND dialog, int result)
{
    if (result == 1) {
        Layout().keepAspect = Checked(dialog, IDC_BUMP_KEEPASPECT);
        Layout().dontEnlarge = Checked(dialog, IDC_BUMP_DONTENLARGE);
    }
    FreePreviewImage();
    EndDialog(dialog, result);
}

}  // namespace

INT_PTR CALLBACK BumpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnBumpInit(dialog);
        return TRUE;
    case WM_PAINT:
        OnBumpPaint(dialog);
        return TRUE;
    case WM_LBUTTONDOWN:
        Dragging = 1;
        OnLightPoint(dialog, lParam);
        return TRUE;
    case WM_MOUSEMOVE:
        if (Dragging)
            OnLightPoint(dialog, lParam);
        return TRUE;
    case WM_LBUTTONUP:
        Dragging = 0;
        return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
        OnBumpScroll(dialog, message, wParam, lParam);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndBumpDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndBumpDialog(dialog, 2);
            return TRUE;
        case IDC_BUMP_CHOOSE:
            OnChooseWatermark(dialog);
            return TRUE;
        case IDC_BUMP_KEEPASPECT:
            OnKeepAspect(dialog);
            return TRUE;
        case IDC_BUMP_DONTENLARGE:
            OnDontEnlarge(dialog);
            return TRUE;
        case IDC_BUMP_REPEAT:
            OnRepeat(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
