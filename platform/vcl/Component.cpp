#include "platform/vcl/Component.h"

#include <algorithm>

namespace vcl {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_ != nullptr) {
        owner_->components_.push_back(this);
    }
}

TComponent::~TComponent() {
    DestroyComponents();
    if (owner_ != nullptr) {
        owner_->Remove(this);
    }
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* last = components_.back();
        // The child's destructor removes it from this list through Remove().
        delete last;
    }
}

void TComponent::Remove(TComponent* component) {
    auto found = std::find(components_.begin(), components_.end(), component);
    if (found != components_.end()) {
        components_.erase(found);
    }
}

}  // namespace vcl
