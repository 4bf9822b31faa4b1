# Capture end to end: the real program under Xvfb, fed by logger and by a raw
# sender in three Japanese encodings, checked through a saved file. Skipped
# (77) where the X tools or util-linux logger are missing.
add_executable(SendDatagram support/SendDatagram.cpp)
target_link_libraries(SendDatagram PRIVATE project_warnings project_options)

add_test(NAME e2e_capture
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e_capture.sh $<TARGET_FILE:quenza>
                 $<TARGET_FILE:SendDatagram> ${CMAKE_BINARY_DIR}/e2e_capture.png)
set_tests_properties(e2e_capture PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)

# The flood comes from the ingest benchmarks' sender, built here as well when
# the benchmarks are not; it stays beside them, where they look for it.
if(NOT TARGET IngestSender)
  add_executable(IngestSender ${PROJECT_SOURCE_DIR}/bench/IngestSender.cpp)
  target_link_libraries(IngestSender PRIVATE project_warnings project_options)
  set_target_properties(IngestSender PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()

# A flood end to end: logger lines around 200,000 datagrams at full speed, then
# the status bar (a screenshot) and a saved file that must hold every line
# that was not dropped by the system, in order.
add_test(NAME e2e_flood
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e_flood.sh $<TARGET_FILE:quenza>
                 $<TARGET_FILE:SendDatagram> $<TARGET_FILE:IngestSender> ${CMAKE_BINARY_DIR}/e2e_flood.png)
set_tests_properties(e2e_flood PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)
