// A private virtual X server for tests of real windows: started on a free display number, made
// the process's DISPLAY (and the headless switch taken off) for as long as it lives.
#pragma once

#include <string>

#include <sys/types.h>

class VirtualDisplay
{
public:
    // Starts the server with one screen of the given size and depth; Running() tells whether it
    // came up (a missing server binary or a failed start leaves it false, with the reason in
    // Error()).
    explicit VirtualDisplay(int width = 1024, int height = 768);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool Running() const { return pid_ > 0; }
    // Ends the server now, as a display that goes away ends (its clients lose their connection);
    // DISPLAY stays as it is until the object goes.
    void Stop();
    const std::string& Name() const { return name_; } // ":N"
    const std::string& Error() const { return error_; }

private:
    pid_t pid_ = -1;
    std::string name_;
    std::string error_;
    std::string oldDisplay_;
    std::string oldHeadless_;
    bool hadDisplay_ = false;
    bool hadHeadless_ = false;
};
