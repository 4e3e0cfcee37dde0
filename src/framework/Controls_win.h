#pragma once
// The window's controls: labels, an icon image, separator lines, a push
// button, a latching button and a drop-down list. A form creates them from
// its layout table (Forms_win.h) and hands them the notifications of their
// windows. Each object keeps its own state (text, visibility, items,
// selection), so it can be set before the window exists and read after the
// window is gone. Main thread only.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Colors.h"
#include "framework/Component.h"
#include "framework/Strings.h"

enum TControlKind {
    ckLabel,        // TLabel: static text, clickable
    ckIcon,         // TImage: a 32 x 32 icon, clickable; the row's text names the icon resource
    ckLineTop,      // TBevel: an etched line along the top edge of the row's rectangle
    ckLineBottom,   // TBevel: the same along the bottom edge
    ckButton,       // TButton: push button
    ckLatchButton,  // TLatchButton: stays down until clicked again
    ckComboList,    // TComboBox: drop-down list, the user picks one of its items
};

enum TControlOption : unsigned {
    coNone = 0,
    coHidden = 1,    // created invisible
    coWordWrap = 2,  // labels: wrap words at the row's width
    coDown = 4,      // latching buttons: start down
};

class TControl;

// One row of a form's layout table.
struct TControlRow {
    const char* Name;
    TControlKind Kind;
    int Id;                       // control id, from WindowIds.h
    const char* Text;             // caption; for ckIcon the icon's resource name
    int Left, Top;                // client pixels
    int Width, Height;            // labels: 0 x 0 sizes them to their text, now and whenever it changes
    unsigned Options = coNone;    // TControlOption flags
    TColor Color = clWindowText;  // labels: text colour
    // Makes an object of a class derived from the kind's class (a combo box
    // that fills its own items, say); null for the kind's own class.
    TControl* (*Make)(TComponent* AOwner) = nullptr;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner) : TComponent(AOwner) {}

    HWND Handle() const { return FHandle; }
    int Id() const { return FId; }
    virtual std::string Text() const { return FText; }
    virtual void SetText(const std::string& Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    // A disabled control takes no input and shows so.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);

protected:
    friend class TForm;
    // Creates the window as a child of Parent; the parent's window destroys
    // it. Raises Exception when the window cannot be created.
    void CreateHandle(HWND Parent, const TControlRow& Row, HFONT Font);
    virtual const char* WindowClass() const = 0;
    virtual DWORD WindowStyle(const TControlRow& Row) const = 0;
    // Geometry of the window for its layout row.
    virtual RECT Bounds(const TControlRow& Row) const;
    // Takes the row's settings once the window exists.
    virtual void Setup(const TControlRow& Row);
    // A WM_COMMAND notification from the window (BN_CLICKED, STN_CLICKED, ...).
    virtual void Notify(WORD Code) { (void)Code; }
    // WM_CTLCOLORSTATIC: null for the default colours.
    virtual HBRUSH ColorStatic(HDC DC) {
        (void)DC;
        return nullptr;
    }
    HFONT Font() const { return FFont; }

    std::string FText;

private:
    void HandleDestroyed() { FHandle = nullptr; }

    HWND FHandle = nullptr;  // not owned: the form's window destroys its children
    HFONT FFont = nullptr;   // not owned: the form's
    int FId = 0;
    bool FVisible = true;
    bool FEnabled = true;
};

// Text on the button face in its own colour. Clickable when OnClick is set.
class TLabel : public TControl {
public:
    using TControl::TControl;
    void SetText(const std::string& Value) override;
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TNotifyEvent OnClick;

protected:
    const char* WindowClass() const override { return "STATIC"; }
    DWORD WindowStyle(const TControlRow& Row) const override;
    void Setup(const TControlRow& Row) override;
    void Notify(WORD Code) override;
    HBRUSH ColorStatic(HDC DC) override;

private:
    void FitToText();
    TColor FColor = clWindowText;
    bool FAutoSize = false;
};

class TImage : public TControl {
public:
    using TControl::TControl;
    TNotifyEvent OnClick;

protected:
    const char* WindowClass() const override { return "STATIC"; }
    DWORD WindowStyle(const TControlRow& Row) const override;
    RECT Bounds(const TControlRow& Row) const override;
    void Setup(const TControlRow& Row) override;
    void Notify(WORD Code) override;
};

class TBevel : public TControl {
public:
    using TControl::TControl;

protected:
    const char* WindowClass() const override { return "STATIC"; }
    DWORD WindowStyle(const TControlRow& Row) const override;
    RECT Bounds(const TControlRow& Row) const override;
};

class TButton : public TControl {
public:
    using TControl::TControl;
    TNotifyEvent OnClick;

protected:
    const char* WindowClass() const override { return "BUTTON"; }
    DWORD WindowStyle(const TControlRow& Row) const override;
    void Notify(WORD Code) override;
};

// A push button that stays down after a click and comes up at the next one.
// OnClick runs after the state has changed. Setting Down raises nothing.
class TLatchButton : public TControl {
public:
    using TControl::TControl;
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    TNotifyEvent OnClick;

protected:
    const char* WindowClass() const override { return "BUTTON"; }
    DWORD WindowStyle(const TControlRow& Row) const override;
    void Setup(const TControlRow& Row) override;
    void Notify(WORD Code) override;

private:
    bool FDown = false;
};

class TComboBox;

// The items of a combo box: kept here, mirrored into the window.
class TComboItems : public TStrings {
public:
    explicit TComboItems(TComboBox& Owner) : FOwner(Owner) {}
    int Count() const override { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int Index) const override;
    void Insert(int Index, const std::string& Text) override;
    void Delete(int Index) override;
    void Clear() override;

private:
    TComboBox& FOwner;
    std::vector<std::string> FItems;
};

// A drop-down list: the user can pick only listed items. OnChange runs for
// the user's pick alone; selecting from code (ItemIndex, Text, changing
// the items) raises nothing.
class TComboBox : public TControl {
public:
    explicit TComboBox(TComponent* AOwner) : TControl(AOwner), FItems(*this) {}

    TStrings& Items() { return FItems; }
    const TStrings& Items() const { return FItems; }
    // The selected position, -1 for none. Raises Exception for a position
    // that is not -1 and not an item.
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    // The selected item's text, empty when none is selected.
    std::string Text() const override;
    // Selects the item equal to Value (ASCII letter case ignored); a text
    // that is not listed changes nothing.
    void SetText(const std::string& Value) override;
    TNotifyEvent OnChange;

protected:
    friend class TComboItems;
    const char* WindowClass() const override { return "COMBOBOX"; }
    DWORD WindowStyle(const TControlRow& Row) const override;
    RECT Bounds(const TControlRow& Row) const override;
    void Setup(const TControlRow& Row) override;
    void Notify(WORD Code) override;
    // The user has picked an item; raises OnChange. Overrides call the base
    // to raise it.
    virtual void Change();
    // The user opens the list, before it shows: a box whose items can go
    // stale lists them again here. Nothing by default.
    virtual void DropDown() {}

private:
    void ItemsChanged(int NewItemIndex);
    TComboItems FItems;
    int FItemIndex = -1;
};
