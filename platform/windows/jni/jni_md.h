/* Machine-dependent JNI definitions for Windows targets (32 and 64 bit).
 * The JDK on the build machine carries another platform's jni_md.h; this
 * folder comes before the JDK's so that jni.h picks this one up. */
#ifndef CORVANE_JNI_MD_H
#define CORVANE_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
