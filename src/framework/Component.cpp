#include "framework/Component.h"

#include <algorithm>

namespace {
void Erase(std::vector<TComponent*>& List, TComponent* Item) {
    List.erase(std::remove(List.begin(), List.end(), Item), List.end());
}
}  // namespace

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
    if (FOwner) {
        FOwner->InsertComponent(this);
        FLoading = FOwner->FLoading;  // created while its owner loads a layout
    }
}

TComponent::~TComponent() {
    Destroying();
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty())
        delete FComponents.back();  // each one leaves the list itself
}

void TComponent::Destroying() {
    FDestroying = true;
    if (FRemovalNotified)
        return;
    FRemovalNotified = true;
    // Copies: a notified component may drop its own notice on the way.
    for (TComponent* Other : std::vector<TComponent*>(FFreeNotifies)) {
        Other->RemoveFreeNotification(this);
        Other->Notification(this, opRemove);
    }
    FFreeNotifies.clear();
    if (FOwner)
        FOwner->Notification(this, opRemove);
}

void TComponent::BeginLoading() {
    FLoading = true;
    for (TComponent* Child : FComponents)
        Child->BeginLoading();
}

void TComponent::EndLoading() {
    FLoading = false;
    for (TComponent* Child : std::vector<TComponent*>(FComponents))
        Child->EndLoading();
    Loaded();
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this)
        return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    Erase(FFreeNotifies, AComponent);
    if (AComponent)
        Erase(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    // An owner passes a removal on to everything it owns.
    if (Operation == opRemove && AComponent != this)
        for (TComponent* Child : std::vector<TComponent*>(FComponents))
            if (Child != AComponent)
                Child->Notification(AComponent, Operation);
}

void TComponent::InsertComponent(TComponent* AComponent) {
    FComponents.push_back(AComponent);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    Erase(FComponents, AComponent);
}
