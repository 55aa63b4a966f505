# Fails unless EXE imports only functions that Windows 7 and later have, from DLLs that come with Windows
# itself, and is hardened with each of CHARACTERISTICS among its DllCharacteristics (a random base, no code
# run from data, and on 64-bit Windows high-entropy addresses).
#   cmake -DOBJDUMP=… -DEXE=… -DCHARACTERISTICS=DYNAMIC_BASE;NX_COMPAT -P CheckDlls.cmake
# The functions the 64-bit and 32-bit .exe import now, the C runtime's start-up code's among them. Each exists
# in Windows 7's kernel32.dll, shell32.dll and msvcrt.dll; the newest, from Vista on, are CompareStringOrdinal,
# GetFinalPathNameByHandleW and SetFileInformationByHandle. A function that is not listed fails the check: add
# it only once Microsoft's documentation names Windows 7 or earlier as its minimum, or say in the README's
# package table which Windows the .exe needs instead.
cmake_policy(SET CMP0057 NEW)
set(allowed
  KERNEL32.dll:CloseHandle KERNEL32.dll:CompareStringOrdinal KERNEL32.dll:CreateFileA
  KERNEL32.dll:DeleteCriticalSection KERNEL32.dll:DuplicateHandle KERNEL32.dll:EnterCriticalSection
  KERNEL32.dll:ReadFile KERNEL32.dll:WriteFile KERNEL32.dll:FindClose KERNEL32.dll:FindFirstFileW KERNEL32.dll:FindNextFileW KERNEL32.dll:FreeLibrary KERNEL32.dll:GetACP KERNEL32.dll:GetCommandLineW
  KERNEL32.dll:GetConsoleMode KERNEL32.dll:GetConsoleOutputCP KERNEL32.dll:GetCurrentProcess
  KERNEL32.dll:GetFileAttributesA KERNEL32.dll:GetFileInformationByHandle KERNEL32.dll:GetFileType
  KERNEL32.dll:GetFinalPathNameByHandleW KERNEL32.dll:GetLastError KERNEL32.dll:GetModuleHandleA
  KERNEL32.dll:GetModuleHandleW KERNEL32.dll:GetProcAddress KERNEL32.dll:GetStartupInfoA KERNEL32.dll:GetStdHandle
  KERNEL32.dll:InitializeCriticalSection KERNEL32.dll:IsDBCSLeadByteEx KERNEL32.dll:LeaveCriticalSection
  KERNEL32.dll:LoadLibraryA KERNEL32.dll:LocalFree KERNEL32.dll:LockFileEx KERNEL32.dll:MoveFileExA KERNEL32.dll:MultiByteToWideChar
  KERNEL32.dll:SetConsoleCtrlHandler KERNEL32.dll:SetConsoleOutputCP KERNEL32.dll:SetFileAttributesA
  KERNEL32.dll:SetFileInformationByHandle KERNEL32.dll:SetLastError KERNEL32.dll:SetUnhandledExceptionFilter KERNEL32.dll:Sleep
  KERNEL32.dll:TlsGetValue KERNEL32.dll:VirtualProtect KERNEL32.dll:VirtualQuery KERNEL32.dll:WideCharToMultiByte
  KERNEL32.dll:__C_specific_handler SHELL32.dll:CommandLineToArgvW
  msvcrt.dll:___lc_codepage_func msvcrt.dll:___mb_cur_max_func msvcrt.dll:__getmainargs msvcrt.dll:__initenv
  msvcrt.dll:__iob_func msvcrt.dll:__mb_cur_max msvcrt.dll:__p__acmdln msvcrt.dll:__p__commode
  msvcrt.dll:__p__fmode msvcrt.dll:__set_app_type msvcrt.dll:__setusermatherr msvcrt.dll:_acmdln
  msvcrt.dll:_amsg_exit msvcrt.dll:_cexit msvcrt.dll:_close msvcrt.dll:_commode msvcrt.dll:_errno
  msvcrt.dll:_fdopen msvcrt.dll:_fileno msvcrt.dll:_fmode msvcrt.dll:_get_osfhandle msvcrt.dll:_initterm
  msvcrt.dll:_iob msvcrt.dll:_lock msvcrt.dll:_onexit msvcrt.dll:_open_osfhandle msvcrt.dll:_unlock
  msvcrt.dll:abort msvcrt.dll:atoi msvcrt.dll:calloc msvcrt.dll:exit msvcrt.dll:fclose msvcrt.dll:ferror
  msvcrt.dll:fflush msvcrt.dll:fgetc msvcrt.dll:fopen msvcrt.dll:fprintf msvcrt.dll:fputc msvcrt.dll:fread msvcrt.dll:fseek
  msvcrt.dll:free msvcrt.dll:fwrite msvcrt.dll:localeconv msvcrt.dll:malloc msvcrt.dll:memcmp msvcrt.dll:memcpy
  msvcrt.dll:memset msvcrt.dll:setlocale msvcrt.dll:setvbuf msvcrt.dll:signal msvcrt.dll:strchr
  msvcrt.dll:strerror msvcrt.dll:strlen msvcrt.dll:strncmp msvcrt.dll:strspn msvcrt.dll:vfprintf
  msvcrt.dll:wcslen msvcrt.dll:wcsncmp msvcrt.dll:wcspbrk)

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
# objdump lists each DLL's functions under its name, one a line, up to an empty line: the address, then the
# hint (binutils 2.40) or the ordinal and the hint (2.44), then the name.
string(REPLACE ";" "," dump "${dump}")
string(REGEX REPLACE "\r?\n" ";" lines "${dump}")
set(dll "")
set(count 0)
foreach(line IN LISTS lines)
  if(line MATCHES "DLL Name: (.+)$")
    set(dll ${CMAKE_MATCH_1})
  elseif(line STREQUAL "")
    set(dll "")
  elseif(dll AND line MATCHES "^\t[0-9a-f]+[\t ].*[\t ]([A-Za-z_][A-Za-z0-9_@?$]*)$")
    if(NOT "${dll}:${CMAKE_MATCH_1}" IN_LIST allowed)
      message(FATAL_ERROR "${EXE} imports ${CMAKE_MATCH_1} from ${dll}, which is not known to be in Windows 7; "
                          "see the list in ${CMAKE_CURRENT_LIST_FILE}")
    endif()
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no imports found in ${EXE}")
endif()
message(STATUS "imports ${count} functions, each known to be in Windows 7")
foreach(flag IN LISTS CHARACTERISTICS)
  if(NOT dump MATCHES "\n[\t ]+${flag}\n")
    message(FATAL_ERROR "${EXE} lacks ${flag} among its DllCharacteristics")
  endif()
  message(STATUS "has ${flag}")
endforeach()
