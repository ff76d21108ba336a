layout(std430,binding=0) buffer B0{vec4 P[];};
out float vz;
void main(){
 vec3 ro,ta;float fl;camera(BAR,ro,ta,fl);
 vec3 a=transpose(cam(ro,ta,0.))*(P[gl_VertexID*4].xyz-ro);
 vz=a.z;gl_PointSize=1.;
 gl_Position=a.z<.1?vec4(2,2,2,1):vec4(a.xy/a.z*fl/vec2(ASPECT,1),0,1);
}
