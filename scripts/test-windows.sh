#!/bin/sh
echo "Windows build: not yet wired"
