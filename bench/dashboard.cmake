# The dashboard window: start-up to first paint, answer to field, load with 18 meters.
if(TARGET quorvel-dashboard)
  quorvel_bench(dashboard_bench SOURCES dashboard_bench.cpp DEPENDS quorvel_window quorvel_bench_support)
  target_compile_definitions(dashboard_bench PRIVATE QUORVEL_DASHBOARD_PATH="$<TARGET_FILE:quorvel-dashboard>")
  add_dependencies(dashboard_bench quorvel-dashboard)
endif()
