// The object that carries the tests' precompiled headers (CMakeLists.txt).
