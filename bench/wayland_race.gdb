# SPDX-License-Identifier: MIT
# The race of bench/wayland_race.cpp made to happen, with gdb holding the threads in the order
# the race needs (bench/wayland_race.py --forced runs it):
#   1. the frame event thread stops in Qt's frame callback listener, before it destroys the
#      callback (the listener is the function in QWaylandWindow::callbackListener);
#   2. the main thread alone runs on until it hides that window: QWaylandWindow::reset, which
#      destroys the same callback, runs to its end;
#   3. every thread goes on: the listener destroys the callback a second time, and libwayland
#      aborts with the wl_proxy_unref assertion; or the main thread deletes the window first, and
#      the listener dies of a segmentation fault in the freed window. gdb writes a core file of
#      the death to the path in $core, set before this script runs.
set pagination off
set confirm off
set debuginfod enabled off
set print thread-events off
handle SIGPIPE nostop noprint
set breakpoint pending on
# The Wayland plugin is loaded once the first window has asked for a frame.
break QtWaylandClient::QWaylandWindow::handleUpdate
run
delete
break *(*(void **)&'QtWaylandClient::QWaylandWindow::callbackListener')
continue
delete
set $window = $rdi
printf "\n=== 1. the frame event thread in the frame callback listener, window %p:\n", $window
bt
set scheduler-locking on
set $listener = $_thread
thread 1
break QtWaylandClient::QWaylandWindow::reset if $rdi == $window
continue
delete
printf "\n=== 2. the main thread hides the window:\n"
bt
finish
printf "\n=== 3. all threads go on\n"
set scheduler-locking off
thread $listener
continue
printf "\n=== the thread that got the signal:\n"
bt
# A core file of that moment, where the caller says ($core), as the kernel would leave one.
eval "generate-core-file %s", $core
