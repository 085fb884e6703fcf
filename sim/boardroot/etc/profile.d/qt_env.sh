#!/bin/sh
# Stand-in for the board's Qt environment script (checked at start-up, never run here).
