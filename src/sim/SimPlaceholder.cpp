namespace merilog::sim {}
