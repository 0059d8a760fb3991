# The simulated machine's sources: the host build (winsim/CMakeLists.txt) and the Windows build of
# it (winsim/windows/CMakeLists.txt) compile the same list.
set(WINSIM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/src/api.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/csmi_controller.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/csmi_passthrough.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/default_machine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/device_clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/disk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/disk_ata_pass_through.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/disk_scsi_pass_through.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/drive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/file_reads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/json_fields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/machine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/sat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/sha256.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/trace.cpp
)
