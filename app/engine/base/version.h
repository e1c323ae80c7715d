#ifndef VERSION_H
#define VERSION_H

#include <QString>

// The program's version: four numbers, from project(VERSION) of the top CMakeLists.txt.
extern const int kvtVersionMajor;
extern const int kvtVersionMinor;
extern const int kvtVersionRevision;
extern const int kvtVersionBuild;

// The four numbers in decimal joined by ".": "0.2.0.121004".
QString kvtVersionNumbers();

#endif // VERSION_H
