# Fails when a core source (or the header beside it) includes a GUI header.
set(gui_headers
    "QtWidgets" "QtGui" "QWidget" "QDialog" "QMainWindow" "QApplication" "QGuiApplication"
    "QMessageBox" "QFileDialog" "QLabel" "QPushButton" "QComboBox" "QTableWidget")
string(REPLACE ";" "|" alternatives "${gui_headers}")
foreach(file IN LISTS SOURCES)
    if(NOT IS_ABSOLUTE "${file}")
        set(file "${BASE}/${file}")
    endif()
    string(REGEX REPLACE "\\.cpp$" ".h" header "${file}")
    foreach(path IN ITEMS "${file}" "${header}")
        if(EXISTS "${path}")
            file(STRINGS "${path}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*<(${alternatives})[/>]")
            if(hits)
                message(FATAL_ERROR "${path} is part of the core but includes a GUI header: ${hits}")
            endif()
        endif()
    endforeach()
endforeach()
