// Compiles the test programs' shared GoogleTest headers (cmake/Testing.cmake).
