#include "NotingBackend.h"

#include "CtlPlatform.h"

bool NotingBackend::Open(const std::string& device_path)
{
    tried_path = fixed_path_.empty() ? device_path : fixed_path_;
    const bool ok = inner_->Open(tried_path);
    reason = ok || tried_path.empty() ? std::string() : LastSystemError();
    return ok;
}
