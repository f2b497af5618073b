# 32-bit x86 build on a 64-bit Debian host: g++ -m32 against the multiarch i386 libraries,
# tests run under qemu-i386 (the host kernel need not run i386 code itself).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_PREFIX_PATH /usr/lib/i386-linux-gnu/cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386;-L;/)
set(PKG_CONFIG_EXECUTABLE i686-linux-gnu-pkg-config)
