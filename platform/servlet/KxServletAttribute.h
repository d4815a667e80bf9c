#pragma once
// Session attributes: a handle (KxServletAttribute) that owns a body derived
// from KxServletAttributeImpl. Bodies never change once made, so copies of a
// handle share one body safely across threads; storing a new value gives the
// handle a new body.
#include <memory>

class KxServletAttributeImpl {
  public:
    virtual ~KxServletAttributeImpl() = default;
};

class KxServletAttribute {
  public:
    // The lifetime is accepted and not used: the container keeps every
    // session attribute for the life of its session.
    explicit KxServletAttribute(int /*lifetime*/ = 1) {}

    bool isValid() const { return body_ != nullptr; }
    const KxServletAttributeImpl* getImpl() const { return body_.get(); }

    // Takes ownership of a body made with new; the previous body is let go.
    // A new body starts out not transient.
    void setImpl(KxServletAttributeImpl* body) {
        body_.reset(body);
        transient_ = false;
    }

    // A transient attribute is not meant to outlive the running container
    // (it would not be written out if sessions were ever persisted).
    bool isTransient() const { return transient_; }
    void setTransient(bool transient) { transient_ = transient; }

  private:
    std::shared_ptr<const KxServletAttributeImpl> body_;
    bool transient_ = false;
};
