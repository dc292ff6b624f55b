// The application object: the program defines one global instance, and WinMain hands over
// to RunApplication, which runs the object's InitInstance. When InitInstance returns, the
// program ends.
#pragma once

#include <windows.h>

namespace ui {

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The whole program; FALSE ends it at once.
    virtual BOOL InitInstance() { return TRUE; }
    HINSTANCE Instance() const { return instance_; }
    static Application* Current();

private:
    friend int RunApplication(HINSTANCE instance);
    HINSTANCE instance_ = nullptr;
};

// For WinMain: runs the global application object; returns the process exit code.
int RunApplication(HINSTANCE instance);

}  // namespace ui
