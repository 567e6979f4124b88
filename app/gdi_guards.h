// Small guards for device contexts, GDI objects and the cursor: every DC
// obtained is released, every object selected is restored, every object
// created is deleted and the wait cursor goes, on every path.
#pragma once

#include <windows.h>

class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
    ~PaintDC() { EndPaint(window_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return dc_; }
    const RECT& area() const { return ps_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT ps_ = {};
    HDC dc_;
};

// Selects an object into a DC for the guard's life.
class SelectObjectGuard {
public:
    SelectObjectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectObjectGuard() { SelectObject(dc_, old_); }
    SelectObjectGuard(const SelectObjectGuard&) = delete;
    SelectObjectGuard& operator=(const SelectObjectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Owns a created GDI object (pen, brush, region, bitmap).
template <typename Handle>
class GdiObject {
public:
    explicit GdiObject(Handle object) : object_(object) {}
    ~GdiObject()
    {
        if (object_)
            DeleteObject(object_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    Handle get() const { return object_; }

private:
    Handle object_;
};

// Sets a raster mix mode for the guard's life.
class Rop2Guard {
public:
    Rop2Guard(HDC dc, int mode) : dc_(dc), old_(SetROP2(dc, mode)) {}
    ~Rop2Guard() { SetROP2(dc_, old_); }
    Rop2Guard(const Rop2Guard&) = delete;
    Rop2Guard& operator=(const Rop2Guard&) = delete;

private:
    HDC dc_;
    int old_;
};

