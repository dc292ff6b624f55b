#include "Application.h"

namespace ui {
namespace {
Application* current = nullptr;
}

Application::Application() {
    current = this;
}

Application::~Application() {
    if (current == this) current = nullptr;
}

Application* Application::Current() {
    return current;
}

int RunApplication(HINSTANCE instance) {
    if (!current) return 1;
    current->instance_ = instance;
    current->InitInstance();
    return 0;
}

}  // namespace ui
