#pragma once
// The roots of the form layer's objects: TObject, and TComponent, which owns the
// components created with it as owner and destroys them with itself (last made, first
// destroyed), as the form library does.
#include <functional>
#include <string>
#include <vector>

namespace vcl {

class TObject {
  public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// An event handler: called with the object that raised the event.
using TNotifyEvent = std::function<void(TObject* sender)>;

// Binds a handler method of a form: OnClick = Method(this, &TFormX::btnXClick).
template <typename Class>
TNotifyEvent Method(Class* self, void (Class::*handler)(TObject*)) {
    return [self, handler](TObject* sender) { (self->*handler)(sender); };
}

class TComponent : public TObject {
  public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(index); }

  protected:
    // Destroys the owned components, newest first. Subclasses that own toolkit objects
    // call it before releasing them, so that children never outlive their parents.
    void DestroyComponents();

  private:
    void Remove(TComponent* component);

    TComponent* owner_;
    std::string name_;
    std::vector<TComponent*> components_;
};

}  // namespace vcl
