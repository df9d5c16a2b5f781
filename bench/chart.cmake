quorvel_bench(chart_bench SOURCES chart_bench.cpp DEPENDS quorvel_window quorvel_sim)
