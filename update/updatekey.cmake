# The maker's update key as the build takes it: the Ed25519 public key's 32 bytes as 64
# hexadecimal digits, in either case, or empty for a build that starts updaters unverified.
# CMake's regular expressions know no repetition counts, so the length is counted apart.
function(velmaro_check_update_key key)
    string(LENGTH "${key}" length)
    if(length EQUAL 0)
        return()
    endif()
    if(NOT length EQUAL 64 OR NOT key MATCHES "^[0-9A-Fa-f]+$")
        message(FATAL_ERROR "VELMARO_UPDATE_PUBLIC_KEY must be the 32-byte Ed25519 public key as 64 "
                            "hexadecimal digits; tools/velmaro-sign public KEY prints it")
    endif()
endfunction()

# Run as a script (cmake -DKEY=... -P updatekey.cmake), it checks KEY alone.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    velmaro_check_update_key("${KEY}")
endif()
