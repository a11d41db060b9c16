// What the scope's timer needs of the application: its central exception
// handler and whether it is shutting down.
#pragma once

class TObject;

// Shows the exception being handled (call from a catch block).
void GrHandleException(TObject* sender);
// True once the application has begun to shut down; read by workers.
bool GrApplicationTerminated();
