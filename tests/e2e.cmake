# Capture end to end: the real program under Xvfb, fed by logger and by a raw
# sender in three Japanese encodings, checked through a saved file. Skipped
# (77) where the X tools or util-linux logger are missing.
add_executable(SendDatagram support/SendDatagram.cpp)
target_link_libraries(SendDatagram PRIVATE project_warnings project_options)

add_test(NAME e2e_capture
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e_capture.sh $<TARGET_FILE:quenza>
                 $<TARGET_FILE:SendDatagram> ${CMAKE_BINARY_DIR}/e2e_capture.png)
set_tests_properties(e2e_capture PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)

# Find, filter and Scroll Lock in the real program under Xvfb, checked through
# saved files and screenshots (all lines coloured, then only the ERROR lines).
# Skipped (77) where the X tools are missing.
add_test(NAME e2e_liveview
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e_liveview.sh $<TARGET_FILE:quenza>
                 $<TARGET_FILE:SendDatagram> ${CMAKE_BINARY_DIR}/e2e_liveview.png)
set_tests_properties(e2e_liveview PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)
