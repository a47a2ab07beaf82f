#pragma once

int runMainWindowTest(int argc, char** argv);
int runStatusBarProgressTest(int argc, char** argv);
int runAboutBoxTest(int argc, char** argv);
int runPositionFieldTest(int argc, char** argv);
