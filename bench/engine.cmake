quorvel_bench(engine_bench SOURCES engine_bench.cpp DEPENDS quorvel_engine quorvel_sim)
