#!/bin/sh
# Stand-in for the board's MAC-address update script (checked at start-up, never run here).
exit 0
