#pragma once

namespace rubbly {

// Starting the program when the user logs in.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    // True when the desktop will start the program at the next login.
    virtual bool isEnabled() const = 0;
    // Arranges for the program to start at login; true on success.
    virtual bool registerItem() = 0;
    // Stops the program from starting at login; true on success.
    virtual bool unregisterItem() = 0;
};

} // namespace rubbly
