#pragma once
// Component base: ownership, names, the loading and designing states and
// removal notices.
//
// An owner frees the components it owns when it is destroyed, last created
// first. A component may also be deleted earlier by whoever holds it; it then
// leaves its owner's list. Whenever a component is destroyed, its owner's
// components and every component that asked for a free notice get
// Notification(component, opRemove) before the component is gone.
// Main thread only.
#include <functional>
#include <string>
#include <vector>

enum TOperation { opInsert, opRemove };

// A component's event without arguments (OnClick, OnChange, OnOpen, ...).
using TNotifyEvent = std::function<void()>;

class TComponent {
public:
    explicit TComponent(TComponent* AOwner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) { FName = Value; }
    const std::vector<TComponent*>& Components() const { return FComponents; }

    bool IsLoading() const { return FLoading; }
    bool IsDesigning() const { return FDesigning; }
    bool IsDestroying() const { return FDestroying; }
    void SetDesigning(bool Value) { FDesigning = Value; }

    // Loading a layout: setters only store while loading; EndLoading then
    // calls Loaded so each component can act on what was loaded. A component
    // created while its owner loads is loading too.
    void BeginLoading();
    void EndLoading();

    // Ask for a removal notice when AComponent is destroyed (and the reverse).
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

protected:
    virtual void Loaded() {}
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Overrides call the base so that an owner passes every notice on to
    // the components it owns.
    // C++ destroys a derived part before this base runs: a derived component
    // whose handlers or state others reach during removal calls Destroying
    // (state and removal notices) and, for an owner, DestroyComponents first
    // in its own destructor. Both are harmless to repeat.
    void Destroying();
    void DestroyComponents();

private:
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);

    TComponent* FOwner;                    // not owned
    std::string FName;
    std::vector<TComponent*> FComponents;  // owned
    std::vector<TComponent*> FFreeNotifies;  // not owned
    bool FLoading = false;
    bool FDesigning = false;
    bool FDestroying = false;
    bool FRemovalNotified = false;
};
