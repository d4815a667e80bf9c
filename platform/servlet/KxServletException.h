#pragma once
// The servlet container's exception: one message text.
#include "platform/base/Kxxmsg.h"

class KxServletException : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};
