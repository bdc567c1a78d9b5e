# 32-bit x86 Linux build of the module's sources and the native tests
# (g++-multilib, with the i386 GoogleTest and Google Benchmark libraries; or
# clang, with its i386 libFuzzer and sanitizer runtimes: the preset names the
# compiler).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# The module's objects are not position-independent (as in the DLL), so
# neither are the programs that link them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -no-pie")
