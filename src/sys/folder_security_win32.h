// The security descriptor of the program's folders under the user's profile:
// the program runs as administrator and starts what it downloaded there, so
// only administrators may change what is in them. Windows only.
#pragma once

#include <windows.h>

#include <vector>

namespace zel {

class ProtectedFolderDescriptor {
  public:
    // Owner Administrators; full control for Administrators and SYSTEM, read
    // and execute for the user the program runs as, each passed on to what
    // the folder holds; protected, so nothing is inherited from the profile.
    ProtectedFolderDescriptor();
    ProtectedFolderDescriptor(const ProtectedFolderDescriptor&) = delete;
    ProtectedFolderDescriptor& operator=(const ProtectedFolderDescriptor&) = delete;

    // False when the system could not give the parts it is made of.
    bool IsValid() const { return valid_; }
    PSECURITY_DESCRIPTOR Get() { return &descriptor_; }
    PSID Owner() { return administrators_.data(); }
    PACL Dacl() { return reinterpret_cast<PACL>(dacl_.data()); }
    // The user the program runs as.
    PSID User() { return user_.data(); }

    // Gives an open folder (opened with WRITE_DAC and WRITE_OWNER) this
    // owner and this DACL, inheriting nothing.
    bool ApplyTo(HANDLE folder);

  private:
    bool Build();

    std::vector<BYTE> administrators_;
    std::vector<BYTE> system_;
    std::vector<BYTE> user_;
    std::vector<BYTE> dacl_;
    SECURITY_DESCRIPTOR descriptor_ = {};
    bool valid_ = false;
};

}  // namespace zel
