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
    // The lifetime value is kept as given; the container keeps every session
    // attribute for the life of its session whatever the value.
    explicit KxServletAttribute(int lifetime = 1) : lifetime_(lifetime) {}

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

    int getLifetime() const { return lifetime_; }

  private:
    std::shared_ptr<const KxServletAttributeImpl> body_;
    int lifetime_ = 1;
    bool transient_ = false;
};
