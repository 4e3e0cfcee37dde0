#pragma once
// A form: one fixed-size top-level window built from a layout table, with
// the handlers of the window itself. Main thread only.
//
// Life of a form: construct, Build (window and controls, hidden), bind the
// handlers, then Show: OnCreate runs once before the window is first shown.
// The close box and Close run OnCloseQuery; when it agrees the window is
// destroyed (Handle becomes null). The object, its
// controls and components live on until it is deleted.
#include <windows.h>

#include <functional>
#include <span>
#include <string>

#include "framework/Component.h"
#include "framework/Controls_win.h"
#include "framework/Exceptions.h"
#include "framework/Handles_win.h"
#include "framework/OpenForms.h"

struct TFormLayout {
    const char* Caption;
    int ClientWidth, ClientHeight;
    const char* IconName;  // the window's icon resource, or null for the system's
};

class TForm : public TComponent, public TOpenForm {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    // Creates the window: single fixed border, system menu and minimize box,
    // exactly the given client size, centred on the desktop, "MS Sans Serif"
    // 8 pt on the button face; then one control per row, in row order, later
    // rows on top. Raises Exception when a window cannot be created or two
    // rows share a name.
    void Build(const TFormLayout& Layout, std::span<const TControlRow> Rows);

    HWND Handle() const { return FHandle.Get(); }
    HFONT Font() const { return FFont.Get(); }
    std::string Caption() const override;

    // The control that the row Name made. Raises Exception when there is
    // none or it is not a T.
    template <typename T>
    T* Find(const std::string& Name) const {
        if (auto* Control = dynamic_cast<T*>(FindControl(Name)))
            return Control;
        throw Exception("Form has no control " + Name + " of the expected kind");
    }

    // Shows the window and makes it active; the first call runs OnCreate
    // before the window appears.
    void Show();
    // The close box's path: OnCloseQuery, then the window is destroyed when
    // it agrees. A close requested while OnCloseQuery runs is ignored. The
    // end of the Windows session (log-off, shut-down) takes it too.
    void Close();

    // Exceptions from handlers go to Application().HandleException.
    TNotifyEvent OnCreate;
    // The window becomes the program's active window: when it is first
    // shown, and whenever activation comes back from another window of the
    // program (not when the user switches from another program).
    TNotifyEvent OnActivate;
    std::function<void(bool& CanClose)> OnCloseQuery;
    // An item of the system menu was picked (its id, the low four bits
    // cleared as the system leaves them to itself); true when handled, false
    // lets the system act on it.
    std::function<bool(unsigned Command)> OnSysCommand;
    // The system's power events (WM_POWERBROADCAST: standby, resume).
    std::function<void(unsigned Event)> OnPowerBroadcast;

private:
    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept;
    LRESULT HandleMessage(HWND Window, UINT Message, WPARAM W, LPARAM L);
    void Activated(HWND Previous);
    void CloseQuery();
    TControl* FindControl(const std::string& Name) const;
    TControl* ControlOf(HWND Window) const;
    TControl* MakeControl(const TControlRow& Row);

    TWindowHandle FHandle;
    TFontHandle FFont;
    std::vector<TControl*> FControls;  // owned as components
    bool FCreated = false;
    bool FEverActive = false;
    bool FClosing = false;
};
