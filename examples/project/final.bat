@echo off
echo Quill Notes: setup finished.
