# The busy landscape as a script: panel clicks for 15 flowers, 5 bugs and the wind, then
# the given number of periodic events. Sourced by the benchmark scripts.
#   busy_script TICKS FILE
busy_script() {
  {
    for _ in $(seq 15); do echo "KANVO_MOUSE(-245, 158);"; done   # Add Flowers x15
    for _ in $(seq 5); do echo "KANVO_MOUSE(-245, 133);"; done    # Add Bugs x5
    echo "KANVO_MOUSE(-245, 183);"                                 # Simulate Wind
    echo "KANVO_PERIODIC($1);"
  } >"$2"
}
