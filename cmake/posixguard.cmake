cmake_minimum_required(VERSION 3.25)
# Fails when a source under BASE calls a POSIX-only function, or includes a
# POSIX-only header, outside a branch on Q_OS_WIN or Q_OS_UNIX: the Windows
# build (./scripts/windows) would not compile it, or worse, would compile
# something else. Sources built for one system only are named so:
# *_unix.cpp and *_win.cpp.
if(NOT IS_DIRECTORY "${BASE}")
    message(FATAL_ERROR "BASE must name the sources' folder")
endif()
set(calls
    "<unistd\\.h>" "<fcntl\\.h>" "<termios\\.h>" "<poll\\.h>" "<pty\\.h>" "<dirent\\.h>"
    "<sys/[a-z]+\\.h>" "<signal\\.h>"
    "sigaction" "SIGHUP" "SIGPIPE" "O_CLOEXEC" "O_NONBLOCK")
# Functions with names of their own, however called; the common names
# (open, read, ...) only as the global ones (::open), the way the project
# calls a system's function.
set(functions
    fsync ftruncate fstat lstat isatty fileno mkfifo symlink unlink getpid getuid geteuid fork
    ioctl tcsetattr tcgetattr posix_openpt openpty usleep)
set(common open close read write stat access kill pipe poll sleep dup dup2)
list(JOIN functions "|" names)
list(JOIN common "|" commonNames)
list(JOIN calls "|" pattern)
set(pattern "${pattern}|(^|[^A-Za-z0-9_.>:])(::)?(${names})[ \t]*\\(")
set(pattern "${pattern}|(^|[^A-Za-z0-9_])::(${commonNames})[ \t]*\\(")

file(GLOB_RECURSE sources LIST_DIRECTORIES false "${BASE}/*.h" "${BASE}/*.cpp")
set(failures "")
foreach(path IN LISTS sources)
    if(path MATCHES "_(unix|win)\\.cpp$")
        continue()
    endif()
    file(RELATIVE_PATH relative "${BASE}" "${path}")
    # Lines as a list: the text's own semicolons are kept out of the way.
    file(READ "${path}" text)
    string(REPLACE ";" "\\;" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    # One entry per open #if: 1 where it branches on the system, else 0.
    set(stack "")
    set(number 0)
    foreach(line IN LISTS lines)
        math(EXPR number "${number} + 1")
        if(line MATCHES "^[ \t]*#[ \t]*if")
            if(line MATCHES "Q_OS_WIN|Q_OS_UNIX|Q_OS_LINUX")
                list(APPEND stack 1)
            else()
                list(APPEND stack 0)
            endif()
            continue()
        elseif(line MATCHES "^[ \t]*#[ \t]*endif")
            list(POP_BACK stack)
            continue()
        endif()
        if(NOT "1" IN_LIST stack)
            string(REGEX REPLACE "//.*" "" code "${line}")
            if(code MATCHES "${pattern}")
                list(APPEND failures "${relative}:${number}: ${line}")
            endif()
        endif()
    endforeach()
endforeach()
if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "POSIX-only calls outside a Q_OS_WIN or Q_OS_UNIX branch:\n  ${text}")
endif()
