# libgcrypt, for MD5 checksums, as the interface target bx_gcrypt. Natively the
# system's shared library; for Windows the static archives of the mingw
# packages, so the program stays one self-contained .exe.
include_guard(GLOBAL)

add_library(bx_gcrypt INTERFACE)
if(WIN32)
    find_path(BX_GCRYPT_INCLUDE_DIR gcrypt.h REQUIRED)
    # By file name: the import libraries beside them would need DLLs.
    find_library(BX_GCRYPT_STATIC NAMES libgcrypt.a REQUIRED)
    find_library(BX_GPG_ERROR_STATIC NAMES libgpg-error.a REQUIRED)
    target_include_directories(bx_gcrypt SYSTEM INTERFACE ${BX_GCRYPT_INCLUDE_DIR})
    # libgpg-error's estream uses Winsock.
    target_link_libraries(bx_gcrypt INTERFACE ${BX_GCRYPT_STATIC} ${BX_GPG_ERROR_STATIC} ws2_32)
else()
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
        pkg_check_modules(BX_GCRYPT QUIET IMPORTED_TARGET libgcrypt)
    endif()
    if(BX_GCRYPT_FOUND)
        target_link_libraries(bx_gcrypt INTERFACE PkgConfig::BX_GCRYPT)
    else()
        find_path(BX_GCRYPT_INCLUDE_DIR gcrypt.h REQUIRED)
        find_library(BX_GCRYPT_LIBRARY NAMES gcrypt REQUIRED)
        target_include_directories(bx_gcrypt SYSTEM INTERFACE ${BX_GCRYPT_INCLUDE_DIR})
        target_link_libraries(bx_gcrypt INTERFACE ${BX_GCRYPT_LIBRARY})
    endif()
endif()
