# The log formats without Qt: the readers and writers the program uses, and
# the sources the fuzz targets (fuzz/) are built from.
set(VEXO_LOGFILE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ArchivedString.h ${CMAKE_CURRENT_LIST_DIR}/ArchivedString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AscLog.h ${CMAKE_CURRENT_LIST_DIR}/AscLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BinaryLog.h ${CMAKE_CURRENT_LIST_DIR}/BinaryLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ByteReader.h
  ${CMAKE_CURRENT_LIST_DIR}/CandumpLog.h ${CMAKE_CURRENT_LIST_DIR}/CandumpLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InterchangeFrame.h ${CMAKE_CURRENT_LIST_DIR}/InterchangeFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogFormat.h ${CMAKE_CURRENT_LIST_DIR}/LogFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogReport.h ${CMAKE_CURRENT_LIST_DIR}/LogReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogStatus.h
  ${CMAKE_CURRENT_LIST_DIR}/TextEncoding.h ${CMAKE_CURRENT_LIST_DIR}/TextEncoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextLog.h ${CMAKE_CURRENT_LIST_DIR}/TextLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextLogFields.h ${CMAKE_CURRENT_LIST_DIR}/TextLogFields.cpp)
