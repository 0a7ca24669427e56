/* Identifiers of the program's resources, shared by the resource script and
   the code. Plain C preprocessor only: the resource compiler reads it too. */
#ifndef HELICOID_RESOURCE_IDS_H
#define HELICOID_RESOURCE_IDS_H

/* The program icon: a 16-colour and a 256-colour 32 x 32 image. */
#define IDI_HELICOID 101

#endif
